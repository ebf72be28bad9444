#include "entry_support.h"

#include <vector>

#include "test_paths.h"

const char SAVER_CLASS[] = "WindowsScreenSaverClass";
const char GL_CHILD_CLASS[] = "OpenGL ScreenSaver";
const char DIALOG_CLASS[] = "#32770";
const char DIALOG_CAPTION[] = "Zelvo";

void UseUnmanagedWindows()
{
    HKEY x11;
    RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", &x11);
    RegSetValueExA(x11, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
    RegCloseKey(x11);
}

std::string BuiltSaver()
{
    return ProgramFolder() + "opengl.scr";
}

std::string SaverCopy(const std::string& folderName, const std::vector<DoubleFile>& doubles)
{
    std::string folder = RunDirPath(folderName);
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string copy = folder + "\\opengl.scr";
    CopyFileA(BuiltSaver().c_str(), copy.c_str(), FALSE);
    for (const DoubleFile& file : doubles)
        CopyFileA((ProgramFolder() + "doubles\\" + file.folder + "\\" + file.file).c_str(),
                  (folder + "\\" + file.file).c_str(), FALSE);
    return copy;
}

ChildProcess StartExact(const std::string& commandLine, const std::string& application)
{
    if (application.empty())
        return StartChild(commandLine);
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    ChildProcess child;
    if (!CreateProcessA(application.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
        return child;
    CloseHandle(info.hThread);
    child.process = info.hProcess;
    child.processId = info.dwProcessId;
    return child;
}

namespace {

// Search record for TopWindowOf.
struct WindowSearch {
    DWORD processId;
    const char* className;
    const char* title;
    HWND found;
};

// True when the window is the one searched for.
bool Matches(HWND window, const WindowSearch& search)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId || !IsWindowVisible(window))
        return false;
    char text[128] = {};
    if (search.className) {
        GetClassNameA(window, text, sizeof text);
        if (lstrcmpA(text, search.className) != 0)
            return false;
    }
    if (search.title) {
        GetWindowTextA(window, text, sizeof text);
        if (lstrcmpA(text, search.title) != 0)
            return false;
    }
    return true;
}

// EnumWindows callback of TopWindowOf.
BOOL CALLBACK CheckTopWindow(HWND window, LPARAM data)
{
    WindowSearch& search = *reinterpret_cast<WindowSearch*>(data);
    if (!Matches(window, search))
        return TRUE;
    search.found = window;
    return FALSE;
}

// Search record for DescendantOfClass.
struct ClassSearch {
    const char* className;
    HWND found;
};

// EnumChildWindows callback of DescendantOfClass.
BOOL CALLBACK CheckChildClass(HWND window, LPARAM data)
{
    ClassSearch& search = *reinterpret_cast<ClassSearch*>(data);
    char text[128] = {};
    GetClassNameA(window, text, sizeof text);
    if (lstrcmpA(text, search.className) != 0)
        return TRUE;
    search.found = window;
    return FALSE;
}

// EnumWindows callback of NoteOtherWindows.
BOOL CALLBACK NoteWindow(HWND window, LPARAM data)
{
    auto& seen = *reinterpret_cast<std::pair<DWORD, std::vector<std::string>*>*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != seen.first || !IsWindowVisible(window))
        return TRUE;
    std::string name = WindowDescription(window);
    seen.second->push_back(name);
    return TRUE;
}

// Adds the visible top-level windows of the process not seen before.
void NoteOtherWindows(DWORD processId, std::vector<std::string>& windows)
{
    std::vector<std::string> found;
    std::pair<DWORD, std::vector<std::string>*> seen(processId, &found);
    EnumWindows(NoteWindow, reinterpret_cast<LPARAM>(&seen));
    for (const std::string& name : found) {
        if (name == std::string(SAVER_CLASS) + "|Screen Saver" ||
            name == std::string(DIALOG_CLASS) + "|" + DIALOG_CAPTION)
            continue;  // appeared between the searches for them and this one
        bool known = false;
        for (const std::string& old : windows)
            known = known || old == name;
        if (!known)
            windows.push_back(name);
    }
}

// Ends the dialog as the user would: a click on its OK button.
void ClickOk(HWND dialog)
{
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
}

}  // namespace

std::string WindowDescription(HWND window)
{
    char className[64] = {}, title[128] = {}, text[256] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    std::string description = std::string(className) + "|" + title;
    HWND boxText = GetDlgItem(window, 0xFFFF);
    if (boxText && lstrcmpA(title, DIALOG_CAPTION) != 0) {
        GetWindowTextA(boxText, text, sizeof text);
        description += std::string("|") + text;
    }
    return description;
}

HWND TopWindowOf(DWORD processId, const char* className, const char* title)
{
    WindowSearch search = {processId, className, title, nullptr};
    EnumWindows(CheckTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND DescendantOfClass(HWND parent, const char* className)
{
    ClassSearch search = {className, nullptr};
    EnumChildWindows(parent, CheckChildClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

SaverOutcome RunSaverAndClose(const std::string& commandLine, const std::string& application,
                              DWORD timeoutMs)
{
    SaverOutcome outcome;
    ChildProcess child = StartExact(commandLine, application);
    if (!child.process) {
        outcome.startError = GetLastError();
        return outcome;
    }
    outcome.started = true;
    bool ended = WaitUntil(
        [&] {
            if (WaitForSingleObject(child.process, 0) == WAIT_OBJECT_0)
                return true;
            outcome.fullScreen = TopWindowOf(child.processId, SAVER_CLASS, "Screen Saver");
            outcome.dialog = TopWindowOf(child.processId, DIALOG_CLASS, DIALOG_CAPTION);
            if (!outcome.fullScreen && !outcome.dialog)
                NoteOtherWindows(child.processId, outcome.otherWindows);
            return outcome.fullScreen || outcome.dialog;
        },
        timeoutMs);
    if (ended && outcome.dialog) {
        outcome.dialogOwner = GetWindow(outcome.dialog, GW_OWNER);
        ClickOk(outcome.dialog);
    } else if (ended && outcome.fullScreen) {
        PostMessageA(outcome.fullScreen, WM_CLOSE, 0, 0);
    }
    // A dialog owned by a window of this thread sends to it as it ends (the
    // owner is enabled again).
    outcome.exitCode = ended ? WaitChildHandlingMessages(child, timeoutMs) : WaitChild(child, 0);
    return outcome;
}

DWORD WaitChildHandlingMessages(ChildProcess& child, DWORD ms)
{
    if (child.process)
        WaitUntil([&] { return WaitForSingleObject(child.process, 0) == WAIT_OBJECT_0; }, ms);
    return WaitChild(child, 0);
}

HWND MakeTestWindow(const char* title, int x, int y, int width, int height)
{
    HWND window = CreateWindowExA(0, "STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y,
                                  width, height, nullptr, nullptr, nullptr, nullptr);
    WaitUntil([] { return false; }, 100);
    return window;
}

bool BringToForeground(HWND window)
{
    // Focus changes from windows that went just before may still be on
    // their way: the window must stay in front for a while.
    int steady = 0;
    return WaitUntil(
        [&] {
            if (GetForegroundWindow() != window) {
                steady = 0;
                SetForegroundWindow(window);
                return false;
            }
            return ++steady >= 10;
        },
        5000);
}

std::string HandleText(HWND window)
{
    return std::to_string(static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
}

HWND UnusedWindowHandle()
{
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    DestroyWindow(window);
    return window;
}

SIZE ClientSize(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    return SIZE{client.right, client.bottom};
}

void SetUsePassword(DWORD value, bool remove)
{
    HKEY desktop;
    RegCreateKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &desktop);
    if (remove)
        RegDeleteValueA(desktop, "ScreenSaveUsePassword");
    else
        RegSetValueExA(desktop, "ScreenSaveUsePassword", 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(desktop);
}

void PreferNativeMpr()
{
    HKEY overrides;
    RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", &overrides);
    static const char order[] = "native,builtin";
    RegSetValueExA(overrides, "mpr", 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                   sizeof order);
    RegCloseKey(overrides);
}
