// A stand-in for a card's hardware layer: a library that loads and exports
// nothing the saver looks up, so it can only serve as the card's probe.
#include <windows.h>

// Accepts every attach and detach.
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
