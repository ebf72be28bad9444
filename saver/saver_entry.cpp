#include "saver_entry.h"

#include "settings.h"
#include "passwords.h"
#include "saver_state.h"
#include "saver_window.h"

namespace {

const WORD kConfigDialogId = 2003;

// True for the bytes that separate the program path from the tail.
bool IsBlank(char byte)
{
    unsigned char value = static_cast<unsigned char>(byte);
    return value >= 1 && value <= 32;
}

// Skips the program path at the start of a command line.
const char* SkipProgramPath(const char* line)
{
    if (*line == '"') {
        line = CharNextA(line);
        while (*line && *line != '"')
            line = CharNextA(line);
        if (*line == '"')
            line = CharNextA(line);
    } else {
        while (static_cast<unsigned char>(*line) > 32)
            line = CharNextA(line);
    }
    return line;
}

// The command tail: what follows the program path and the blanks after it.
const char* CommandTail()
{
    const char* tail = SkipProgramPath(GetCommandLineA());
    while (IsBlank(*tail))
        tail = CharNextA(tail);
    return tail;
}

// The show command the process was started with.
int StartupShowCommand()
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
}

// True when the system belongs to the 9x family.
bool DetectWin9x()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

// A window handle from text, or null when it names no window.
HWND ExistingWindow(const char* text)
{
    HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(ParseWindowHandle(text)));
    return (window && IsWindow(window)) ? window : nullptr;
}

// Skips the spaces after a switch letter.
const char* SkipSpaces(const char* text)
{
    while (*text == ' ')
        ++text;
    return text;
}

// Fault guard: a fault that nothing else handles turns the
// screen-saver-running notice off and ends the process.
LONG WINAPI GuardFault(EXCEPTION_POINTERS* fault)
{
    SetSaverRunning(false);
    ExitProcess(fault->ExceptionRecord->ExceptionCode);
}

// Runs the mode named by the first switch of the tail.
int RunMode(const char* tail)
{
    while (*tail == ' ' || *tail == '-' || *tail == '/')
        ++tail;
    switch (*tail) {
    case '\0':
        return RunConfigDialog(nullptr);
    case 'S':
    case 's':
        return RunSaverWindow(nullptr);
    case 'C':
    case 'c': {
        HWND parent = tail[1] == ':' ? ExistingWindow(tail + 2) : nullptr;
        return RunConfigDialog(parent ? parent : GetForegroundWindow());
    }
    case 'P':
    case 'p':
    case 'L':
    case 'l':
        return RunPreview(SkipSpaces(tail + 1));
    case 'A':
    case 'a':
        if (!saverState.isWin9x)
            return -1;
        return RunPasswordChange(SkipSpaces(tail + 1));
    }
    return -1;
}

}  // namespace

void SaverStart()
{
    const char* tail = CommandTail();
    int result = SaverDispatch(GetModuleHandleA(nullptr), nullptr, tail, StartupShowCommand());
    ExitProcess(result);
}

int SaverDispatch(HINSTANCE instance, HINSTANCE, const char* tail, int)
{
    saverState.instance = instance;
    saverState.isWin9x = DetectWin9x();
    SetUnhandledExceptionFilter(GuardFault);
    return RunMode(tail);
}

int RunConfigDialog(HWND parent)
{
    if (!PrepareConfigDialog(saverState.instance))
        return 0;
    return static_cast<int>(DialogBoxParamA(saverState.instance, MAKEINTRESOURCEA(kConfigDialogId),
                                            parent, ConfigDialogProc, 0));
}

int RunPreview(const char* text)
{
    HWND parent = ExistingWindow(text);
    if (!parent)
        return -1;
    return RunSaverWindow(parent);
}
