#pragma once
#include <windows.h>
#include <string>

// Runs xdotool with the given arguments on this run's X display (real X
// input) and returns its exit status, or 0xFFFFFFFF when it could not run.
DWORD Xdotool(const std::string& arguments);
