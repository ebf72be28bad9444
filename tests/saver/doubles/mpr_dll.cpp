// Stand-in for "MPR.DLL": records the arguments of its password-change call
// in the process environment variable DOUBLE_MPR_CALL. When DOUBLE_RECORD_FILE
// names a file, its load and call are also appended there as lines, for a
// test that watches another process; when DOUBLE_FAULT is set, the call
// writes through a null pointer after recording.
#include <windows.h>

#include "double_record.h"
#include <cstdio>

// Records each time the library is mapped into the process.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        AppendRecord("load");
    return TRUE;
}

// Records "provider|parent|reserved1|reserved2"; answers success.
extern "C" __declspec(dllexport) DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND parent,
                                                                 DWORD reserved1, DWORD reserved2)
{
    char text[256];
    std::snprintf(text, sizeof text, "%s|%llu|%lu|%lu", provider ? provider : "(null)",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(parent)),
                  static_cast<unsigned long>(reserved1), static_cast<unsigned long>(reserved2));
    SetEnvironmentVariableA("DOUBLE_MPR_CALL", text);
    char line[300];
    std::snprintf(line, sizeof line, "PwdChangePasswordA %s", text);
    AppendRecord(line);
    if (GetEnvironmentVariableA("DOUBLE_FAULT", nullptr, 0)) {
        static int* volatile nowhere;  // null, unknown to the compiler
        *nowhere = 1;
    }
    return 0;
}
