// A program that imports a function Windows 95 lacks, so the import check
// can show that it refuses one.
#include <windows.h>

extern "C" __declspec(dllimport) ULONGLONG WINAPI GetTickCount64(void);

int main()
{
    return static_cast<int>(GetTickCount64() & 1);
}
