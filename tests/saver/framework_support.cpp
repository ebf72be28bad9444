#include "framework_support.h"

#include "saver_state.h"
#include "test_paths.h"

static const SaverState initialSaverState = saverState;

bool SystemIsWin9x()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

void ResetSaverState()
{
    saverState = initialSaverState;
    saverState.instance = GetModuleHandleA(nullptr);
    saverState.isWin9x = SystemIsWin9x();
}

void SetUsePasswordBytes(DWORD type, const void* bytes, DWORD size)
{
    HKEY desktop;
    RegCreateKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &desktop);
    RegSetValueExA(desktop, "ScreenSaveUsePassword", 0, type, static_cast<const BYTE*>(bytes),
                   size);
    RegCloseKey(desktop);
}

void SetUsePassword(DWORD value, bool remove)
{
    if (!remove) {
        SetUsePasswordBytes(REG_DWORD, &value, sizeof value);
        return;
    }
    HKEY desktop;
    if (RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &desktop) == ERROR_SUCCESS) {
        RegDeleteValueA(desktop, "ScreenSaveUsePassword");
        RegCloseKey(desktop);
    }
}

void UseDoublesFolder(const std::string& folder)
{
    SetDllDirectoryA(folder.empty() ? nullptr
                                    : (ProgramFolder() + "doubles\\" + folder).c_str());
}

void PreferNativeMpr()
{
    HKEY overrides;
    RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", &overrides);
    static const char order[] = "native,builtin";
    RegSetValueExA(overrides, "mpr", 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                   sizeof order);
    RegCloseKey(overrides);
}

std::string DoubleRecord(const char* variable)
{
    char text[256] = {};
    if (!GetEnvironmentVariableA(variable, text, sizeof text))
        return "";
    return text;
}

void ClearDoubleRecords()
{
    for (const char* variable : {"DOUBLE_PASSWORD_LOADS", "DOUBLE_PASSWORD_CALLS",
                                 "DOUBLE_MPR_CALL"})
        SetEnvironmentVariableA(variable, nullptr);
}

BOOL ScreenSaverRunningFlag()
{
    BOOL running = -1;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
    return running;
}

std::string HandleText(HWND window)
{
    return std::to_string(static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
}
