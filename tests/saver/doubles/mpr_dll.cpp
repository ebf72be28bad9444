// Stand-in for "MPR.DLL": records the arguments of its password-change call
// in the process environment variable DOUBLE_MPR_CALL.
#include <windows.h>
#include <cstdio>

// Records "provider|parent|reserved1|reserved2"; answers success.
extern "C" __declspec(dllexport) DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND parent,
                                                                 DWORD reserved1, DWORD reserved2)
{
    char text[256];
    std::snprintf(text, sizeof text, "%s|%llu|%lu|%lu", provider ? provider : "(null)",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(parent)),
                  static_cast<unsigned long>(reserved1), static_cast<unsigned long>(reserved2));
    SetEnvironmentVariableA("DOUBLE_MPR_CALL", text);
    return 0;
}
