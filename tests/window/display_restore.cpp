// Restores the display mode from the registry, the last step of the saver's
// teardown, and nothing else: exit code 0 when the platform answers that it
// succeeded. On Xorg, Wine 8 without XRandR (its XVidMode fallback, which
// 32-bit Wine takes when libxrandr2:i386 is missing) aborts in this call with
// "free(): invalid pointer", in 32-bit and 64-bit processes alike.
#include <windows.h>

int main()
{
    return ChangeDisplaySettingsA(nullptr, 0) == DISP_CHANGE_SUCCESSFUL ? 0 : 1;
}
