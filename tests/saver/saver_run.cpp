#include "saver_run.h"

#include <gtest/gtest.h>

#include "saver_state.h"
#include "saver_window.h"
#include "test_paths.h"

#include <cstdio>
#include <cstdlib>

SaverRun saverRun;
HookOverride hookOverride;
std::function<void(HWND)> onSaverCreate;
std::function<void(HWND)> onSaverDestroy;
const char SAVER_CLASS[] = "WindowsScreenSaverClass";
const POINT CURSOR_START = {400, 300};

// Without a window manager, Wine waits 2 s for each managed window to be
// withdrawn when it goes; unmanaged windows go at once. Set before Wine's
// display driver starts, which happens at this program's first window.
static struct UnmanagedWindows {
    UnmanagedWindows()
    {
        HKEY x11;
        RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", &x11);
        RegSetValueExA(x11, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
        RegCloseKey(x11);
    }
} unmanagedWindows;

// Timer ticks before the first step (the X server maps the new window) and
// after the last one (input still on its way arrives).
const size_t SETTLE_TICKS = 3;
const size_t TRAILING_TICKS = 3;
// A run still going after this many ticks has hung: it is ended and fails.
const size_t MAX_TICKS = 200;

static std::vector<Step> scenarioSteps;
static size_t ticksSeen;  // every tick of the run, for the hang guard
static size_t stepClock;  // ticks on which the scenario could go on
static bool stepRunning;

int SaverRun::Count(UINT message) const
{
    int count = 0;
    for (const HookCall& call : hookCalls)
        count += call.message == message;
    return count;
}

int SaverRun::Count(UINT message, WPARAM wParam) const
{
    int count = 0;
    for (const HookCall& call : hookCalls)
        count += call.message == message && call.wParam == wParam;
    return count;
}

void ResetSaverRun()
{
    saverRun = SaverRun();
    hookOverride = nullptr;
    onSaverCreate = nullptr;
    onSaverDestroy = nullptr;
}

// The program's hook: records each message and hands it on like a program would.
LRESULT CALLBACK SaverHookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        saverRun.window = window;
        if (onSaverCreate)
            onSaverCreate(window);
    }
    if (message == WM_DESTROY) {
        saverRun.destroyed = true;
        if (onSaverDestroy)
            onSaverDestroy(window);
    }
    size_t index = saverRun.hookCalls.size();
    saverRun.hookCalls.push_back({message, wParam, lParam, 0});
    LRESULT result = 0;
    if (!hookOverride || !hookOverride(window, message, wParam, lParam, &result))
        result = SaverDefaultProc(window, message, wParam, lParam);
    saverRun.hookCalls[index].result = result;
    return result;
}

// Plays the next step once the window has settled; a few ticks after the
// last one, ends a run whose window is still there. Nothing is played while
// a step runs or the password verifier runs.
static VOID CALLBACK StepTimerProc(HWND, UINT, UINT_PTR, DWORD)
{
    HWND window = saverRun.window;
    if (!window || !IsWindow(window))
        return;
    if (++ticksSeen > MAX_TICKS) {
        ADD_FAILURE() << "the saver run did not end";
        saverRun.endedByTest = true;
        DestroyWindow(window);
        return;
    }
    if (stepRunning || saverState.checkingPassword)
        return;
    stepRunning = true;
    size_t current = stepClock++;
    if (current >= SETTLE_TICKS) {
        size_t step = current - SETTLE_TICKS;
        if (step < scenarioSteps.size()) {
            scenarioSteps[step](window);
        } else if (step >= scenarioSteps.size() + TRAILING_TICKS) {
            saverRun.endedByTest = true;
            DestroyWindow(window);
        }
    }
    stepRunning = false;
}

int RunScenario(HWND parent, const std::vector<Step>& steps, UINT stepMs)
{
    scenarioSteps = steps;
    ticksSeen = 0;
    stepClock = 0;
    stepRunning = false;
    UINT_PTR timer = SetTimer(nullptr, 0, stepMs, StepTimerProc);
    saverRun.exitCode = RunSaverWindow(parent);
    KillTimer(nullptr, timer);
    // A window whose creation failed still posted its quit message.
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    return saverRun.exitCode;
}

void HandleMessagesUntil(const std::function<bool()>& done)
{
    DWORD start = GetTickCount();
    MSG message;
    while (!done() && GetTickCount() - start < 2000) {
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            Sleep(10);
        } else if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        } else {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

bool PlaceCursorAtStart()
{
    // Wine's cursor record follows the X pointer once this thread has shown a window.
    static bool shownAWindow;
    if (!shownAWindow) {
        HWND first = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 8, 8, nullptr,
                                     nullptr, nullptr, nullptr);
        PumpMessages(100);
        DestroyWindow(first);
        shownAWindow = true;
    }
    POINT cursor = {-1, -1};
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (Xdotool("mousemove " + std::to_string(CURSOR_START.x) + " " +
                    std::to_string(CURSOR_START.y)) != 0)
            return false;
        SetCursorPos(CURSOR_START.x, CURSOR_START.y);
        PumpMessages(50);
        if (GetCursorPos(&cursor) && cursor.x == CURSOR_START.x && cursor.y == CURSOR_START.y)
            return true;
    }
    return false;
}

void SendMouseMove(int dx, int dy)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = dx;
    input.mi.dy = dy;
    input.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &input, sizeof input);
}

void SendKey(WORD virtualKey)
{
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = virtualKey;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

void UnregisterSaverClass()
{
    UnregisterClassA(SAVER_CLASS, GetModuleHandleA(nullptr));
}
