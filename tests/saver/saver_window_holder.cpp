// A first full-screen saver for the single-instance test: runs the saver
// window until a close request arrives, ignoring loss of activation so that
// the test may activate its own windows meanwhile.
#include <windows.h>

#include "saver_state.h"
#include "saver_window.h"

// Hands everything to the close rules except activation changes.
LRESULT CALLBACK SaverHookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ACTIVATEAPP)
        return 0;
    return SaverDefaultProc(window, message, wParam, lParam);
}

int main()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    saverState.instance = GetModuleHandleA(nullptr);
    saverState.isWin9x =
        GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
    return RunSaverWindow(nullptr);
}
