#pragma once
// The full-screen display-mode switch for a fixed resolution.
#include <windows.h>

// Switches the screen to the child window's size at 16 bits per pixel:
// DirectDraw first, with cooperativeWindow as its top-level window, then
// the display settings. Failures are reported in message boxes.
void SwitchDisplayMode(HWND cooperativeWindow);

// Gives up a DirectDraw switch and returns the display to the mode stored
// in the registry.
void UndoDisplayModeSwitch();
