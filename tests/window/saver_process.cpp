#include "saver_process.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <utility>

#include "messages.h"
#include "stored_values.h"
#include "test_paths.h"

namespace {

// How often a watching test looks at the saver and the display.
const DWORD kPollMs = 15;

// The class name of a window.
std::string ClassOf(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// Looks for a window of the saver class that belongs to the process.
struct SaverSearch {
    DWORD processId;
    HWND found;
};

// Checks one window and, for a preview, its children.
bool IsSaverWindowOf(HWND window, DWORD processId)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return owner == processId && ClassOf(window) == "WindowsScreenSaverClass";
}

BOOL CALLBACK FindSaverChild(HWND window, LPARAM search)
{
    SaverSearch* s = reinterpret_cast<SaverSearch*>(search);
    if (IsSaverWindowOf(window, s->processId)) {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindSaverTopLevel(HWND window, LPARAM search)
{
    SaverSearch* s = reinterpret_cast<SaverSearch*>(search);
    if (IsSaverWindowOf(window, s->processId)) {
        s->found = window;
        return FALSE;
    }
    // A preview's saver window is the child of a window of another process.
    EnumChildWindows(window, FindSaverChild, search);
    return s->found ? FALSE : TRUE;
}

// The saver window of the process, or null.
HWND FindSaverWindow(DWORD processId)
{
    SaverSearch search = {processId, nullptr};
    EnumWindows(FindSaverTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Notes the display mode when it differs from the last one noted.
void NoteMode(SaverSession& session)
{
    ScreenMode mode = CurrentScreenMode();
    if (session.modes.empty() || !(session.modes.back() == mode))
        session.modes.push_back(mode);
}

// Looks for the saver's windows and records them once the child's creation
// is over: a window created visible is shown only when its WM_CREATE has
// returned, and the child's creation is the last step of the saver window's.
void LookForWindows(SaverSession& session)
{
    if (session.sawGlChild)
        return;
    HWND saver = FindSaverWindow(session.processId);
    if (!saver)
        return;
    HWND child = FindWindowExA(saver, nullptr, "OpenGL ScreenSaver", nullptr);
    if (!child || !IsWindowVisible(child))
        return;
    session.saverWindow = saver;
    session.glChild = child;
    session.sawGlChild = true;
    GetClientRect(saver, &session.saverClient);
    GetClientRect(child, &session.childClient);
    POINT origin = {0, 0};
    MapWindowPoints(child, saver, &origin, 1);
    session.childOrigin = origin;
}

// One look: messages, display mode, windows.
void Poll(SaverSession& session)
{
    PumpMessages();
    NoteMode(session);
    LookForWindows(session);
}

// True when the process has ended (its handle is signalled).
bool Ended(const SaverSession& session)
{
    return !session.process.process || WaitForSingleObject(session.process.process, 0) == WAIT_OBJECT_0;
}

}  // namespace

bool operator==(const ScreenMode& a, const ScreenMode& b)
{
    return a.width == b.width && a.height == b.height && a.bitsPerPixel == b.bitsPerPixel;
}

std::string ModeText(const ScreenMode& mode)
{
    return std::to_string(mode.width) + "x" + std::to_string(mode.height) + "x" +
           std::to_string(mode.bitsPerPixel);
}

ScreenMode CurrentScreenMode()
{
    DEVMODEA settings = {};
    settings.dmSize = sizeof settings;
    ScreenMode mode;
    if (EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &settings)) {
        mode.width = settings.dmPelsWidth;
        mode.height = settings.dmPelsHeight;
        mode.bitsPerPixel = settings.dmBitsPerPel;
    }
    return mode;
}

std::string MakeSaverFolder(const std::string& name, const std::vector<std::string>& doubles)
{
    std::string folder = RunDirPath(name);
    CreateDirectoryA(folder.c_str(), nullptr);
    CopyFileA((ProgramFolder() + "opengl.scr").c_str(), (folder + "\\opengl.scr").c_str(), FALSE);
    for (const std::string& path : doubles) {
        std::string file = path.substr(path.find_last_of('\\') + 1);
        CopyFileA((ProgramFolder() + "doubles\\" + path).c_str(), (folder + "\\" + file).c_str(),
                  FALSE);
    }
    return folder;
}

void StoreSettings(DWORD resolution, DWORD usedefault)
{
    StoreNumber("resolution", resolution);
    StoreNumber("usedefault", usedefault);
}

void ForgetSettings()
{
    DeleteSettingsKey();
}

ScopedVariable::ScopedVariable(const char* name, const std::string& value) : name_(name)
{
    char old[2048];
    DWORD length = GetEnvironmentVariableA(name, old, sizeof old);
    hadOld_ = length > 0 && length < sizeof old;
    if (hadOld_)
        old_ = old;
    SetEnvironmentVariableA(name, value.c_str());
}

ScopedVariable::~ScopedVariable()
{
    SetEnvironmentVariableA(name_.c_str(), hadOld_ ? old_.c_str() : nullptr);
}

SaverSession::SaverSession(SaverSession&& other)
{
    *this = std::move(other);
}

SaverSession& SaverSession::operator=(SaverSession&& other)
{
    if (this != &other) {
        if (process.process)
            WaitChild(process, 0);
        process = other.process;
        other.process = ChildProcess();
        processId = other.processId;
        saverWindow = other.saverWindow;
        glChild = other.glChild;
        saverClient = other.saverClient;
        childClient = other.childClient;
        childOrigin = other.childOrigin;
        modes = std::move(other.modes);
        exitCode = other.exitCode;
        sawGlChild = other.sawGlChild;
    }
    return *this;
}

SaverSession::~SaverSession()
{
    if (process.process)
        WaitChild(process, 0);
}

SaverSession StartSaver(const std::string& folder, const std::string& arguments)
{
    SaverSession session;
    session.process = StartChild("\"" + folder + "\\opengl.scr\" " + arguments, folder);
    session.processId = session.process.processId;
    NoteMode(session);
    return session;
}

bool WatchSaverUntil(SaverSession& session, const std::function<bool()>& done, DWORD ms)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= ms)
            return false;
        if (!Ended(session))
            Poll(session);
        Sleep(kPollMs);
    }
    return true;
}

bool WaitForGlChild(SaverSession& session, DWORD ms)
{
    WatchSaverUntil(session, [&] { return session.sawGlChild || Ended(session); }, ms);
    return session.sawGlChild;
}

void WatchSaver(SaverSession& session, DWORD ms)
{
    WatchSaverUntil(session, [&] { return Ended(session); }, ms);
}

DWORD WaitForSaverExit(SaverSession& session, DWORD ms)
{
    WatchSaverUntil(session, [&] { return Ended(session); }, ms);
    session.exitCode = WaitChild(session.process, 0);
    NoteMode(session);
    return session.exitCode;
}

DWORD CloseSaver(SaverSession& session, DWORD ms)
{
    if (session.saverWindow)
        PostMessageA(session.saverWindow, WM_CLOSE, 0, 0);
    return WaitForSaverExit(session, ms);
}

bool SawSize(const SaverSession& session, DWORD width, DWORD height)
{
    for (const ScreenMode& seen : session.modes)
        if (seen.width == width && seen.height == height)
            return true;
    return false;
}

std::string ModesText(const SaverSession& session)
{
    std::string text;
    for (const ScreenMode& mode : session.modes)
        text += (text.empty() ? "" : " ") + ModeText(mode);
    return text;
}

// Adds one monitor's rectangle to the list, the primary at the front.
static BOOL CALLBACK AddMonitorRect(HMONITOR monitor, HDC, LPRECT, LPARAM list)
{
    std::vector<RECT>* rects = reinterpret_cast<std::vector<RECT>*>(list);
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(monitor, &info))
        rects->insert(info.dwFlags & MONITORINFOF_PRIMARY ? rects->begin() : rects->end(),
                      info.rcMonitor);
    return TRUE;
}

std::vector<RECT> MonitorRects()
{
    std::vector<RECT> rects;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitorRect, reinterpret_cast<LPARAM>(&rects));
    return rects;
}

std::string RectText(const RECT& rect)
{
    return "(" + std::to_string(rect.left) + "," + std::to_string(rect.top) + ")-(" +
           std::to_string(rect.right) + "," + std::to_string(rect.bottom) + ")";
}

std::string RectsText(const std::vector<RECT>& rects)
{
    std::string text;
    for (const RECT& rect : rects)
        text += (text.empty() ? "" : " ") + RectText(rect);
    return text;
}

std::string UncoveredMonitors(const SaverSession& session)
{
    RECT saver = {};
    if (!IsWindowVisible(session.saverWindow) || !GetWindowRect(session.saverWindow, &saver))
        return "no saver window";
    std::string uncovered;
    if (!(GetWindowLongA(session.saverWindow, GWL_EXSTYLE) & WS_EX_TOPMOST))
        uncovered = "the saver window is not topmost; ";
    for (const RECT& monitor : MonitorRects()) {
        RECT common;
        if (!IntersectRect(&common, &monitor, &saver) || !EqualRect(&common, &monitor))
            uncovered += "monitor " + RectText(monitor) + " outside " + RectText(saver) + "; ";
    }
    return uncovered;
}

bool PlacePointer(POINT at)
{
    // The X pointer (the X screen's origin is the virtual screen's top-left
    // corner); the system's record of it follows.
    if (Xdotool("mousemove " + std::to_string(at.x - GetSystemMetrics(SM_XVIRTUALSCREEN)) + " " +
                std::to_string(at.y - GetSystemMetrics(SM_YVIRTUALSCREEN))) != 0)
        return false;
    POINT cursor = {};
    for (DWORD start = GetTickCount(); GetTickCount() - start < 5000; Sleep(kPollMs))
        if (GetCursorPos(&cursor) && cursor.x == at.x && cursor.y == at.y)
            return true;
    return false;
}

// Looks for a visible message box of a process.
struct BoxSearch {
    DWORD processId;
    HWND found;
};

static BOOL CALLBACK FindBoxWindow(HWND window, LPARAM search)
{
    BoxSearch* s = reinterpret_cast<BoxSearch*>(search);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == s->processId && ClassOf(window) == "#32770" && IsWindowVisible(window) &&
        GetDlgItem(window, 0xFFFF)) {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindMessageBox(DWORD processId)
{
    BoxSearch search = {processId, nullptr};
    EnumWindows(FindBoxWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string MessageBoxText(HWND box)
{
    char caption[256] = {}, text[1024] = {};
    GetWindowTextA(box, caption, sizeof caption);
    GetWindowTextA(GetDlgItem(box, 0xFFFF), text, sizeof text);
    return std::string(caption) + ": " + text;
}

void ActivateSaverWindow(const SaverSession& session)
{
    HWND saver = FindSaverWindow(session.processId);
    if (saver)
        SetForegroundWindow(saver);
}

bool ReadFileBytes(const std::string& path, std::string* bytes)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    bytes->clear();
    char buffer[4096];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes->append(buffer, count);
    std::fclose(file);
    return true;
}

bool PathExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<RecordedLine> ReadRecorderFile(const std::string& path)
{
    std::vector<RecordedLine> lines;
    std::string bytes;
    if (!ReadFileBytes(path, &bytes))
        return lines;
    std::istringstream stream(bytes);
    std::string line;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t blank = line.find(' ');
        if (blank == std::string::npos)
            continue;
        lines.push_back({std::atof(line.substr(0, blank).c_str()), line.substr(blank + 1)});
    }
    return lines;
}

std::vector<RecordedLine> LinesStartingWith(const std::vector<RecordedLine>& lines,
                                            const std::string& prefix)
{
    std::vector<RecordedLine> found;
    for (const RecordedLine& line : lines)
        if (line.text.compare(0, prefix.size(), prefix) == 0)
            found.push_back(line);
    return found;
}

double ProcessAge(HANDLE process)
{
    FILETIME created, exited, kernel, user, now;
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER start = {{created.dwLowDateTime, created.dwHighDateTime}};
    ULARGE_INTEGER current = {{now.dwLowDateTime, now.dwHighDateTime}};
    return (static_cast<double>(current.QuadPart) - static_cast<double>(start.QuadPart)) / 1e4;
}

void SendKey(WORD virtualKey)
{
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = virtualKey;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

DWORD SendDisplayPower(const SaverSession& session, const std::string& setting, DWORD value,
                       std::string* said, DWORD dataLength, const std::string& target)
{
    // The sender's output goes to a file of the run folder.
    const std::string output = RunDirPath("display-power-sender.txt");
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE file = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string command = "\"" + ProgramFolder() + "display_power_sender.exe\" " +
                          std::to_string(session.processId) + " " + setting + " " +
                          std::to_string(value) + " " + std::to_string(dataLength) + " " + target;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = file;
    PROCESS_INFORMATION info = {};
    DWORD status = STILL_ACTIVE;
    if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &info)) {
        CloseHandle(info.hThread);
        ChildProcess sender = {info.hProcess, info.dwProcessId};
        status = WaitChild(sender, 20000);
    }
    CloseHandle(file);
    if (!ReadFileBytes(output, said))
        said->clear();
    return status;
}

// The last parts of a Windows or Unix path, lower case with backslashes:
// "run\folder\opengl.scr" for three.
static std::string PathTail(const std::string& path, int parts)
{
    std::string tail = path;
    size_t at = tail.size();
    for (int i = 0; i < parts && at != std::string::npos && at > 0; ++i)
        at = tail.find_last_of("\\/", at - 1);
    if (at != std::string::npos)
        tail = tail.substr(at + 1);
    for (char& c : tail)
        c = c == '/' ? '\\' : c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return tail;
}

// The Linux process id whose program is "<folder>\opengl.scr", or "".
static std::string LinuxProcessOf(const std::string& folder)
{
    const std::string program = PathTail(folder + "\\opengl.scr", 3);
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE)
        return "";
    std::string found;
    do {
        std::string pid = entry.cFileName;
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::string commandLine;
        if (!ReadFileBytes("Z:\\proc\\" + pid + "\\cmdline", &commandLine))
            continue;
        // The first argument is the program.
        std::string first = commandLine.substr(0, commandLine.find('\0'));
        if (first.size() >= program.size() && PathTail(first, 3) == program)
            found = pid;
    } while (found.empty() && FindNextFileA(search, &entry));
    FindClose(search);
    return found;
}

bool SaverProcessorTicks(const std::string& folder, unsigned long long* ticks)
{
    std::string pid = LinuxProcessOf(folder);
    std::string stat;
    if (pid.empty() || !ReadFileBytes("Z:\\proc\\" + pid + "\\stat", &stat))
        return false;
    // After "pid (name)": state is field 3, utime field 14, stime field 15.
    size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return false;
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number == 14)
            user = std::strtoull(field.c_str(), nullptr, 10);
        if (number == 15)
            system = std::strtoull(field.c_str(), nullptr, 10);
    }
    if (!fields)
        return false;
    *ticks = user + system;
    return true;
}
