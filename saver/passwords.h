#pragma once
#include <windows.h>

// Loads the system's password verifier when the user has chosen a password (9x family).
void LoadPasswordVerifier();

// Frees the password verifier and withdraws the screen-saver-running notice.
void UnloadPasswordVerifier();

// Tells the system whether a screen saver is running (9x family).
void SetSaverRunning(bool on);

// Answers whether the saver window may close, asking the verifier when one is loaded.
LONG MayCloseSaver(HWND saverWindow);

// Milliseconds from the earlier tick count to the later one, modulo 2^32.
DWORD TicksSince(DWORD earlier, DWORD later);

// Runs the password change with the parent named in the text; returns 0.
int RunPasswordChange(const char* text);

// Lets the user change the screen-saver password through the system's dialog.
void ChangeSaverPassword(HWND parent);
