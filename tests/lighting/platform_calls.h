#pragma once
// The scene code calls four functions on the platform's own opengl32 and
// glu32 rather than through the entry table: glLightfv, glGenTextures,
// glTexParameteri and gluBuild2DMipmaps. This program's import slots for
// them are redirected to logging stand-ins that pass each call on, so a test
// sees those calls too, in the recording driver's line format, and where
// they fall among the calls the recording driver logged.
#include <string>
#include <vector>

#include "recorder_api.h"

// Redirects the four imports (once) and empties the log. recorder, when not
// null, is the recording driver whose log the calls are placed among; it
// must stay valid while the log is in use.
bool StartPlatformCallLog(const RecorderApi* recorder);

// Stops logging and lets go of the recording driver; the redirected calls
// are passed on as they are.
void StopPlatformCallLog();

// The platform calls logged since the start, oldest first.
std::vector<std::string> PlatformCalls();

// The recording driver's lines and the platform calls merged in the order
// they were made.
std::vector<std::string> CallsInOrder();

// Redirects one import of this program to a replacement; returns the address
// it had, or null when the program does not import that function.
void* RedirectImport(const char* library, const char* function, void* replacement);
