#include <windows.h>

#include "saver_entry.h"

// Program entry: the saver derives its command line and mode itself.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    SaverStart();
    return 0;
}
