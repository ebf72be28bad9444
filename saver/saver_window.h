#pragma once
#include <windows.h>

// Runs the saver window full screen (null parent) or inside a preview window
// until its message loop ends; returns the exit code.
int RunSaverWindow(HWND parent);

// Window procedure of "WindowsScreenSaverClass": the framework's part of each
// message, then the program's hook.
LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Default handling for messages the hook leaves alone: the close rules.
LRESULT CALLBACK SaverDefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The whole screen, every monitor, as the system has it now (the virtual
// screen where the system reports it, else the screen's clip box).
RECT WholeScreenRect();

// The program's hook on the saver window; every program using the framework defines it.
LRESULT CALLBACK SaverHookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
