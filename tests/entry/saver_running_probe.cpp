// Reports the system's screen-saver-running flag as this program's exit
// code (0 off, 1 on, 2 when it cannot be read). A fresh process reads the
// flag as the system keeps it, not as an earlier reader cached it.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    BOOL running = FALSE;
    if (!SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0))
        return 2;
    return running ? 1 : 0;
}
