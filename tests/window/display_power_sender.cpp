// Tells a running saver the display's power state the way Windows does: a
// POWERBROADCAST_SETTING written into the saver's process and
// WM_POWERBROADCAST / PBT_POWERSETTINGCHANGE sent with it. Wine never sends
// this notification, so tests and benchmarks deliver it with this program.
//   display_power_sender PID SETTING VALUE [LENGTH [TARGET]]
//     PID      the saver's Windows process id (0: any saver in this prefix)
//     SETTING  console (the console display state), monitor (monitor power
//              on) or other (a setting that is not the display's)
//     VALUE    the DWORD of data: 0 off, 1 on, 2 dimmed
//     LENGTH   DataLength written with it (default 4)
//     TARGET   registered (default): the saver's message-only window of class
//              "OpenGL ScreenSaver Display Power"; saver: the saver window
// Exit status: 0 sent and answered, 2 no such window, 3 the process's
// memory could not be written, 4 the message was not answered within 10 s.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const char kPowerClassName[] = "OpenGL ScreenSaver Display Power";
const char kSaverClassName[] = "WindowsScreenSaverClass";

// A setting that is not the display's: the system's video power-down timeout.
const GUID kOtherSetting = {0x3c0bc021, 0xc8a8, 0x4e07,
                            {0xa9, 0x73, 0x6b, 0x14, 0xcb, 0xcb, 0x2b, 0x7e}};

// True when the window belongs to the process (any process for 0).
bool OwnedBy(HWND window, DWORD processId)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return processId == 0 || owner == processId;
}

// The process's window of the class, message-only or top-level; null when
// there is none.
HWND FindProcessWindow(HWND parent, const char* className, DWORD processId)
{
    for (HWND window = FindWindowExA(parent, nullptr, className, nullptr); window;
         window = FindWindowExA(parent, window, className, nullptr))
        if (OwnedBy(window, processId))
            return window;
    return nullptr;
}

// The GUID a SETTING argument names.
GUID SettingNamed(const char* name)
{
    if (strcmp(name, "console") == 0)
        return GUID_CONSOLE_DISPLAY_STATE;
    if (strcmp(name, "monitor") == 0)
        return GUID_MONITOR_POWER_ON;
    return kOtherSetting;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: display_power_sender PID console|monitor|other VALUE [LENGTH [registered|saver]]\n");
        return 1;
    }
    DWORD processId = strtoul(argv[1], nullptr, 10);
    DWORD value = strtoul(argv[3], nullptr, 10);
    DWORD length = argc > 4 ? strtoul(argv[4], nullptr, 10) : sizeof(DWORD);
    bool toSaver = argc > 5 && strcmp(argv[5], "saver") == 0;

    HWND target = toSaver ? FindProcessWindow(nullptr, kSaverClassName, processId)
                          : FindProcessWindow(HWND_MESSAGE, kPowerClassName, processId);
    // Under Wine the first saver of a fresh prefix has been seen, rarely,
    // without a message-only window of the class (why is not known); a
    // top-level window of the class stands in then, and is named as such.
    if (!target && !toSaver) {
        target = FindProcessWindow(nullptr, kPowerClassName, processId);
        if (target)
            fprintf(stderr, "display_power_sender: window %p of the class is top-level\n", target);
    }
    if (!target) {
        fprintf(stderr, "display_power_sender: no %s window of process %lu\n",
                toSaver ? "saver" : "registered message-only", processId);
        return 2;
    }
    DWORD owner = 0;
    GetWindowThreadProcessId(target, &owner);

    // The setting with its DWORD of data, whatever DataLength says.
    struct {
        GUID setting;
        DWORD dataLength;
        DWORD data;
    } broadcast = {SettingNamed(argv[2]), length, value};
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, owner);
    void* remote = process ? VirtualAllocEx(process, nullptr, sizeof broadcast,
                                            MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)
                           : nullptr;
    if (!remote || !WriteProcessMemory(process, remote, &broadcast, sizeof broadcast, nullptr)) {
        fprintf(stderr, "display_power_sender: cannot write into process %lu (error %lu)\n", owner,
                GetLastError());
        return 3;
    }
    DWORD_PTR answer = 0;
    LRESULT sent = SendMessageTimeoutA(target, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE,
                                       reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 10000,
                                       &answer);
    // Once answered the saver no longer reads it; after a time-out it may.
    if (sent)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    if (!sent) {
        fprintf(stderr, "display_power_sender: no answer from window %p\n", target);
        return 4;
    }
    printf("sent %s %lu (length %lu) to %s window %p of process %lu, answer %lu\n", argv[2], value,
           length, toSaver ? "saver" : "registered", target, owner,
           static_cast<unsigned long>(answer));
    return 0;
}
