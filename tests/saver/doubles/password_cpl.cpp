// Stand-in for the system's password verifier "PASSWORD.CPL". The test sets
// how it answers; every load and call is counted in process environment
// variables, which outlive the library's unloading. Built a second time with
// WITHOUT_VERIFIER for a library that lacks the verifier entry point.
// For a test that watches another process: when DOUBLE_RECORD_FILE names a
// file, loads and verifier calls are appended there as lines; when
// DOUBLE_FAULT is set, the verifier writes through a null pointer.
#include <windows.h>

#include "double_record.h"
#include <cstdio>
#include <cstdlib>

typedef BOOL (WINAPI *VerifyHandler)(HWND owner);

static VerifyHandler handler;

// Adds one to a counter kept in an environment variable of the process.
static void CountIn(const char* variable)
{
    char text[16] = "0";
    GetEnvironmentVariableA(variable, text, sizeof text);
    std::snprintf(text, sizeof text, "%d", std::atoi(text) + 1);
    SetEnvironmentVariableA(variable, text);
}

// Counts each time the library is mapped into the process.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        CountIn("DOUBLE_PASSWORD_LOADS");
        AppendRecord("load");
    }
    return TRUE;
}

// Sets the function that answers the next verifier calls (null: refuse).
extern "C" __declspec(dllexport) void WINAPI SetVerifyHandler(VerifyHandler answer)
{
    handler = answer;
}

#ifndef WITHOUT_VERIFIER
// The verifier: counts the call and answers through the test's handler.
extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND owner)
{
    CountIn("DOUBLE_PASSWORD_CALLS");
    AppendRecord("VerifyScreenSavePwd");
    if (GetEnvironmentVariableA("DOUBLE_FAULT", nullptr, 0)) {
        static int* volatile nowhere;  // null, unknown to the compiler
        *nowhere = 1;
    }
    return handler ? handler(owner) : FALSE;
}
#endif
