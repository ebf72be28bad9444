#include <windows.h>

// Program entry. The modes come with the command-line dispatch; until then
// the saver starts and ends at once.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    ExitProcess(0);
}
