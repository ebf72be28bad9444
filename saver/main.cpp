#include <windows.h>

#include "saver_entry.h"

// Process entry, in place of the runtime's start-up code: the saver derives
// its command line and mode itself, runs no static constructors and ends
// with ExitProcess, so it needs none of that code, which also carries
// instructions that the Pentium and its peers lack. Windows guarantees the
// 32-bit entry only a 4-byte aligned stack.
extern "C" __attribute__((force_align_arg_pointer)) void SaverProcessEntry()
{
    SaverStart();
    ExitProcess(0);
}
