#include "dialog_driver.h"

#include <atomic>
#include <thread>

#include "config_dialog_ids.h"
#include "settings.h"

namespace {

struct DialogSearch {
    HWND found;
};

// Picks the visible "Zelvo" dialog among a thread's windows.
BOOL CALLBACK MatchDialog(HWND window, LPARAM search)
{
    char className[16] = {}, caption[16] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (lstrcmpA(className, "#32770") == 0 && lstrcmpA(caption, "Zelvo") == 0 &&
        IsWindowVisible(window)) {
        reinterpret_cast<DialogSearch*>(search)->found = window;
        return FALSE;
    }
    return TRUE;
}

// Waits for the dialog of a thread to be on screen.
HWND WaitForDialog(DWORD thread)
{
    DialogSearch search = {nullptr};
    WaitFor([&] {
        EnumThreadWindows(thread, MatchDialog, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    });
    return search.found;
}

std::atomic<int> cancelCommands;
std::atomic<int> closeRequests;

// Counts the cancel command and SC_CLOSE among messages for the dialog.
void CountMessage(UINT message, WPARAM wParam)
{
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)
        ++cancelCommands;
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE)
        ++closeRequests;
}

// Sees messages sent to windows of the dialog's thread.
LRESULT CALLBACK WatchSentMessage(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION)
        CountMessage(sent->message, sent->wParam);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Sees messages taken from the dialog thread's queue.
LRESULT CALLBACK WatchPostedMessage(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* posted = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE)
        CountMessage(posted->message, posted->wParam);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

int CancelCommandsSeen()
{
    return cancelCommands;
}

int CloseRequestsSeen()
{
    return closeRequests;
}

INT_PTR RunConfigDialogDriven(const std::function<void(HWND, DWORD)>& script)
{
    DWORD thread = GetCurrentThreadId();
    cancelCommands = 0;
    closeRequests = 0;
    HHOOK sentHook = SetWindowsHookExA(WH_CALLWNDPROC, WatchSentMessage, nullptr, thread);
    HHOOK postedHook = SetWindowsHookExA(WH_GETMESSAGE, WatchPostedMessage, nullptr, thread);
    std::thread driver([&] {
        HWND dialog = WaitForDialog(thread);
        if (!dialog)
            return;
        script(dialog, thread);
        if (!DialogEnded(dialog))
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_CONFIG),
                                     nullptr, ConfigDialogProc, 0);
    driver.join();
    UnhookWindowsHookEx(sentHook);
    UnhookWindowsHookEx(postedHook);
    return result;
}

bool DialogEnded(HWND dialog)
{
    return !IsWindow(dialog) || !IsWindowVisible(dialog);
}

bool IsChecked(HWND dialog, int id)
{
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Click(HWND dialog, int id)
{
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

HWND FocusOn(DWORD thread)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(thread, &info);
    return info.hwndFocus;
}

bool WaitFor(const std::function<bool()>& condition, int ms)
{
    for (int waited = 0; waited < ms; waited += 20) {
        if (condition())
            return true;
        Sleep(20);
    }
    return condition();
}

// Sends one key transition through the system's input.
static void SendKey(WORD virtualKey, bool up)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, 0));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}

void PressKey(WORD virtualKey, bool alt)
{
    if (alt) SendKey(VK_MENU, false);
    SendKey(virtualKey, false);
    SendKey(virtualKey, true);
    if (alt) SendKey(VK_MENU, true);
}

bool ClickScreenAt(POINT point)
{
    // Every event carries the point: under load Wine may otherwise press the
    // button where an earlier move left the cursor.
    INPUT inputs[3] = {};
    DWORD flags[3] = {0, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
    for (int i = 0; i < 3; ++i) {
        inputs[i].type = INPUT_MOUSE;
        inputs[i].mi.dx = MulDiv(point.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        inputs[i].mi.dy = MulDiv(point.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
        inputs[i].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags[i];
        SendInput(1, &inputs[i], sizeof(INPUT));
        if (i == 0 && !WaitFor([&] {
                POINT cursor;
                GetCursorPos(&cursor);
                return cursor.x == point.x && cursor.y == point.y;
            }))
            return false;
    }
    return true;
}
