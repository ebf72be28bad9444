#pragma once
// The program's entry: the command tail, the mode switch and the process end.
#include <windows.h>

// Derives the command tail from the process's command line, runs the mode
// it names and ends the process with the mode's result. Never returns.
void SaverStart();

// Records the instance and the platform family, then runs the mode named
// by the first switch of the tail; returns the exit code.
int SaverDispatch(HINSTANCE instance, HINSTANCE previous, const char* tail, int showCommand);

// Runs the configuration dialog over the given parent (or none).
int RunConfigDialog(HWND parent);

// Runs the saver inside the preview window whose handle the text holds.
int RunPreview(const char* text);
