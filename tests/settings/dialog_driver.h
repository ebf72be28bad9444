#pragma once
// Runs the real configuration dialog on the test's thread while a second
// thread drives it as a user would, through messages and injected input.
#include <windows.h>
#include <functional>

// Shows dialog 2003 of this program with ConfigDialogProc, modally and with
// no parent; script runs on another thread once the dialog is on screen.
// If the script leaves the dialog open, OK is pressed for it. Returns the
// dialog's result.
INT_PTR RunConfigDialogDriven(const std::function<void(HWND dialog, DWORD thread)>& script);

// How often, in the current run, the dialog was sent or handed the cancel
// command (WM_COMMAND IDCANCEL) and the system menu's Close (SC_CLOSE).
int CancelCommandsSeen();
int CloseRequestsSeen();

// True when the dialog has ended (it no longer exists).
bool DialogEnded(HWND dialog);

// Whether button id of the dialog shows a check.
bool IsChecked(HWND dialog, int id);

// Clicks button id as the mouse would (BM_CLICK), waiting until it is handled.
void Click(HWND dialog, int id);

// The window that holds the keyboard focus on the dialog's thread, or null.
HWND FocusOn(DWORD thread);

// Waits up to ms milliseconds for condition; returns its last answer.
bool WaitFor(const std::function<bool()>& condition, int ms = 5000);

// Presses and releases a key through the system's input (SendInput); with
// alt, the Alt key is held around it.
void PressKey(WORD virtualKey, bool alt = false);

// Moves the cursor to a screen point and clicks the left button there,
// through SendInput; false when the cursor did not get there.
bool ClickScreenAt(POINT point);
