#pragma once
#include <windows.h>
#include <imm.h>

// "VerifyScreenSavePwd" of the system's password verifier.
typedef BOOL (WINAPI *VerifyScreenSavePwdProc)(HWND owner);
// "ImmAssociateContext" of the input-method library.
typedef HIMC (WINAPI *ImmAssociateContextProc)(HWND window, HIMC context);

// The screen-saver framework's process-wide facts.
struct SaverState {
    HINSTANCE instance;
    bool isWin9x;
    HWND saverWindow;
    bool isPreview;
    LONG closeAllowed;
    bool checkingPassword;
    HMODULE verifierModule;
    VerifyScreenSavePwdProc verifyPassword;
    UINT autoPlayMessage;
    HMODULE immModule;
    ImmAssociateContextProc immAssociateContext;
    HIMC savedInputContext;
    POINT referenceCursor;
    RECT referenceScreen;   // the whole screen when referenceCursor was read
    DWORD moveThreshold;
    DWORD lastCheckTick;
};

// Value of lastCheckTick before the first password check.
const DWORD NO_CHECK_TICK = 0xFFFFFFFF;

extern SaverState saverState;

// Reads a decimal window handle from the start of the text; 0 without a digit.
DWORD ParseWindowHandle(const char* text);

// Looks up an entry point of a loaded module as the given function-pointer type.
template <typename Proc>
Proc FindEntryPoint(HMODULE module, const char* name)
{
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
