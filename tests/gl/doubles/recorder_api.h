#pragma once
// The call log of the recording driver double (bin/doubles/gl-recorder), as a
// test reads it after loading the double as the driver library.
//
// Each call to one of the double's 51 GL entries or seven wgl* exports is one
// line: the name and the arguments, e.g. "glVertex3f(1, 2.5, -3)".
//   enums and bit masks   hex, at least four digits: "glBegin(0x0004)"
//   other integers        decimal
//   floats, doubles       "%.9g" and "%.17g" (exact)
//   handles               FormatHandle(): "wglSwapBuffers(0x1A2B)"
//   arrays read           "[1, 0, 0]" (glColor3fv, glLoadMatrixf, ...)
//   pixel descriptor      "{flags 0x00000025, type 0, color 24, alpha 0, depth 16, stencil 0}"
//   glTexImage2D pixels   "#" and 8 hex digits of PixelHash over the rows, or "null";
//                         "?" for a format or type the double does not size
//   output pointers       left out (glGetFloatv, glGetIntegerv, wglDescribePixelFormat)
// A forced result makes a wgl* export return that value instead of calling
// the platform; the call is still logged.
#include <windows.h>

#include <string>
#include <vector>

#include "recorder_format.h"

struct RecorderApi {
    void(WINAPI* reset)();  // empties the log and drops forced results
    int(WINAPI* count)();   // lines logged since the load or the last reset
    const char*(WINAPI* entry)(int index);  // one line, null when out of range
    void(WINAPI* forceResult)(const char* wglName, INT_PTR result);
};

// Binds the recorder exports of a loaded double; false when it has none.
inline bool BindRecorder(HMODULE driver, RecorderApi& api)
{
    if (!driver)
        return false;
    api.reset = reinterpret_cast<decltype(api.reset)>(
        reinterpret_cast<void (*)()>(GetProcAddress(driver, "RecorderReset")));
    api.count = reinterpret_cast<decltype(api.count)>(
        reinterpret_cast<void (*)()>(GetProcAddress(driver, "RecorderCount")));
    api.entry = reinterpret_cast<decltype(api.entry)>(
        reinterpret_cast<void (*)()>(GetProcAddress(driver, "RecorderEntry")));
    api.forceResult = reinterpret_cast<decltype(api.forceResult)>(
        reinterpret_cast<void (*)()>(GetProcAddress(driver, "RecorderForceResult")));
    return api.reset && api.count && api.entry && api.forceResult;
}

// Every line of the log, oldest first.
inline std::vector<std::string> RecordedCalls(const RecorderApi& api)
{
    std::vector<std::string> calls;
    for (int i = 0, count = api.count(); i < count; ++i)
        calls.push_back(api.entry(i));
    return calls;
}

// A handle as the log writes it.
inline std::string HandleText(const void* handle)
{
    char text[20];
    FormatHandle(handle, text);
    return text;
}
