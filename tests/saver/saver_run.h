#pragma once
// Runs the framework's saver window inside a test: the test's SaverHookProc
// records what the hook sees, and a thread timer plays the test's steps one
// per tick from inside the saver's own message loop.
#include <windows.h>

#include <functional>
#include <string>

#include "messages.h"
#include "xdotool.h"
#include <vector>

// One message as the hook saw it, with the result it returned.
struct HookCall {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result;
};

// What happened during one run of the saver window.
struct SaverRun {
    std::vector<HookCall> hookCalls;
    HWND window = nullptr;     // the saver window, from the hook's WM_CREATE
    bool destroyed = false;    // the hook saw WM_DESTROY
    bool endedByTest = false;  // the window outlived the steps and the test destroyed it
    int exitCode = 0;

    // Number of times the hook saw the message (with this first parameter, if given).
    int Count(UINT message) const;
    int Count(UINT message, WPARAM wParam) const;
    // True when a close request reached the hook.
    bool CloseRequested() const { return Count(WM_CLOSE) > 0; }
};

// A step of a scenario, given the saver window.
typedef std::function<void(HWND)> Step;
// Handles a message in place of SaverDefaultProc; returns true when it did.
typedef std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)> HookOverride;

extern SaverRun saverRun;
extern HookOverride hookOverride;
// Runs inside the hook at WM_CREATE, before the default handling.
extern std::function<void(HWND)> onSaverCreate;
// Runs inside the hook at WM_DESTROY, before the default handling.
extern std::function<void(HWND)> onSaverDestroy;

// Clears the run record and the test's handlers.
void ResetSaverRun();

// Runs RunSaverWindow(parent), playing one step per tick of stepMs; when the
// steps are done and the window still exists, destroys it. Returns the exit code.
int RunScenario(HWND parent, const std::vector<Step>& steps, UINT stepMs = 150);
// From inside a step: handles this thread's messages until done() is true,
// for at most two seconds; a quit message is left for the run.
void HandleMessagesUntil(const std::function<bool()>& done);


// Where PlaceCursorAtStart puts the pointer.
extern const POINT CURSOR_START;
// Puts the pointer at CURSOR_START on the X display and in Wine's own record;
// false when it does not get there.
bool PlaceCursorAtStart();

// Real input through the system's input queue.
void SendMouseMove(int dx, int dy);
void SendKey(WORD virtualKey);

// Name of the saver window class, and removal of it between runs.
extern const char SAVER_CLASS[];
void UnregisterSaverClass();
