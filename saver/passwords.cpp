#include "passwords.h"

#include "saver_state.h"

// Quiet time after a password check during which close requests are refused.
const DWORD PASSWORD_QUIET_MS = 200;

// "PwdChangePasswordA" of the multiple-provider router.
typedef DWORD (WINAPI *PwdChangePasswordProc)(LPCSTR provider, HWND parent, DWORD reserved1,
                                              DWORD reserved2);

// Reads "ScreenSaveUsePassword" from an open key; true when it reads nonzero.
static bool PasswordInUse(HKEY desktop)
{
    DWORD value = 0;
    DWORD size = sizeof value;
    return RegQueryValueExA(desktop, "ScreenSaveUsePassword", nullptr, nullptr,
                            reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS
           && value != 0;
}

// Loads "PASSWORD.CPL" and its verifier entry, giving the running notice when found.
static void LoadVerifierLibrary()
{
    saverState.verifierModule = LoadLibraryA("PASSWORD.CPL");
    if (!saverState.verifierModule)
        return;
    saverState.verifyPassword =
        FindEntryPoint<VerifyScreenSavePwdProc>(saverState.verifierModule, "VerifyScreenSavePwd");
    if (saverState.verifyPassword)
        SetSaverRunning(true);
    else
        UnloadPasswordVerifier();
}

// Loads the verifier when "ScreenSaveUsePassword" is set (9x family only).
void LoadPasswordVerifier()
{
    if (!saverState.isWin9x)
        return;
    if (saverState.verifierModule)
        UnloadPasswordVerifier();
    HKEY desktop;
    if (RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &desktop) != ERROR_SUCCESS)
        return;
    if (PasswordInUse(desktop))
        LoadVerifierLibrary();
    RegCloseKey(desktop);
}

// Frees the verifier and withdraws the screen-saver-running notice (9x family only).
void UnloadPasswordVerifier()
{
    if (!saverState.isWin9x || !saverState.verifierModule)
        return;
    FreeLibrary(saverState.verifierModule);
    saverState.verifierModule = nullptr;
    if (saverState.verifyPassword) {
        saverState.verifyPassword = nullptr;
        SetSaverRunning(false);
    }
}

// Tells the system whether a screen saver runs (9x family only).
void SetSaverRunning(bool on)
{
    if (!saverState.isWin9x)
        return;
    UINT previous = 0;
    SystemParametersInfoA(SPI_SCREENSAVERRUNNING, on ? 1 : 0, &previous, 0);
}

// Milliseconds between two tick counts, modulo 2^32.
DWORD TicksSince(DWORD earlier, DWORD later)
{
    return later - earlier;
}

// Removes up to two queued timer messages of the saver window.
static void DropPendingTimers(HWND saverWindow)
{
    MSG message;
    for (int i = 0; i < 2; ++i)
        PeekMessageA(&message, saverWindow, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
}

// Asks the verifier, at most once per quiet time, whether the saver may close.
LONG MayCloseSaver(HWND saverWindow)
{
    if (saverState.checkingPassword)
        return 0;
    if (!saverState.verifyPassword) {
        saverState.closeAllowed = 1;
        return 1;
    }
    DWORD now = GetTickCount();
    if (saverState.lastCheckTick != NO_CHECK_TICK
        && TicksSince(saverState.lastCheckTick, now) < PASSWORD_QUIET_MS)
        return 0;
    saverState.checkingPassword = true;
    DropPendingTimers(saverWindow);
    saverState.closeAllowed = static_cast<LONG>(SendMessageA(saverWindow, WM_APP, 0, 0));
    saverState.checkingPassword = false;
    if (!saverState.closeAllowed)
        SetCursor(nullptr);
    saverState.lastCheckTick = GetTickCount();
    return saverState.closeAllowed;
}

// Runs the password change over the window named in the text, or the foreground one.
int RunPasswordChange(const char* text)
{
    HWND parent = reinterpret_cast<HWND>(static_cast<UINT_PTR>(ParseWindowHandle(text)));
    if (!parent || !IsWindow(parent))
        parent = GetForegroundWindow();
    ChangeSaverPassword(parent);
    return 0;
}

// Shows the system's screen-saver password change (9x family only).
void ChangeSaverPassword(HWND parent)
{
    if (!saverState.isWin9x)
        return;
    HMODULE router = LoadLibraryA("MPR.DLL");
    if (!router)
        return;
    PwdChangePasswordProc changePassword =
        FindEntryPoint<PwdChangePasswordProc>(router, "PwdChangePasswordA");
    if (changePassword)
        changePassword("SCRSAVE", parent, 0, 0);
    FreeLibrary(router);
}
