#pragma once
// Starting the built opengl.scr with exact command lines and watching, from
// outside, which mode it runs: the full-screen window, the configuration
// dialog and its owner, the preview inside a window of the test, or nothing.
#include <windows.h>

#include <string>
#include <vector>

#include "child_process.h"

// The saver window's class and titles, and the configuration dialog's.
extern const char SAVER_CLASS[];
extern const char GL_CHILD_CLASS[];
extern const char DIALOG_CLASS[];
extern const char DIALOG_CAPTION[];

// Unsigned exit code of a program that ended with -1.
const DWORD EXIT_MINUS_ONE = 0xFFFFFFFF;

// Makes Wine give up its window-manager handshake for new windows of this
// prefix, so that windows go at once when destroyed (call before the
// program's first window; the saver processes started later inherit it).
void UseUnmanagedWindows();

// Copies opengl.scr into a folder of the run (created if missing), with the
// named doubles (folder under bin\doubles\ and file name) beside it; returns
// the copy's full path.
struct DoubleFile {
    const char* folder;
    const char* file;
};
std::string SaverCopy(const std::string& folderName, const std::vector<DoubleFile>& doubles = {});

// The saver built with the tests, in the program folder.
std::string BuiltSaver();

// Starts a program with an exact command line; with an application name the
// system does not look for the program in the command line at all.
ChildProcess StartExact(const std::string& commandLine, const std::string& application = "");

// What the test saw of one started saver.
struct SaverOutcome {
    bool started = false;
    DWORD startError = 0;        // the system's error when it could not be started
    HWND fullScreen = nullptr;   // its "Screen Saver" window, if it showed one
    HWND dialog = nullptr;       // its configuration dialog, if it showed one
    HWND dialogOwner = nullptr;  // the dialog's owner window
    std::vector<std::string> otherWindows;  // "class|title" of any other window it showed
    DWORD exitCode = STILL_ACTIVE;
};

// Starts the saver and watches it: a full-screen window is closed with
// WM_CLOSE, a configuration dialog with its OK button, and the exit code is
// collected (STILL_ACTIVE when it had to be ended after timeoutMs).
SaverOutcome RunSaverAndClose(const std::string& commandLine, const std::string& application = "",
                              DWORD timeoutMs = 20000);

// The first visible top-level window of the process with the class and title
// (null title: any), or null.
HWND TopWindowOf(DWORD processId, const char* className, const char* title);

// "class|title" of a window, and "|text" for a message box.
std::string WindowDescription(HWND window);

// Waits up to ms for the child to end, handling this thread's messages
// meanwhile (its windows may send to this thread's as they go); its exit code.
DWORD WaitChildHandlingMessages(ChildProcess& child, DWORD ms);

// The first child window, at any depth below parent, of the class.
HWND DescendantOfClass(HWND parent, const char* className);

// Waits up to ms for condition, handling this thread's messages meanwhile;
// returns its last answer.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start >= ms)
            return false;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(20);
    }
}

// A visible top-level window of this program (a plain overlapped window).
HWND MakeTestWindow(const char* title, int x = 100, int y = 100, int width = 300,
                    int height = 200);

// Makes the window the foreground window; false when the system refused.
bool BringToForeground(HWND window);

// Decimal text of a window handle, as a command line carries it.
std::string HandleText(HWND window);

// A window handle that names no window now.
HWND UnusedWindowHandle();

// Size of a window's client area.
SIZE ClientSize(HWND window);

// Sets HKCU\Control Panel\Desktop "ScreenSaveUsePassword" (removed when remove).
void SetUsePassword(DWORD value, bool remove = false);

// Lets a native "MPR.DLL" replace Wine's built-in one for this prefix.
void PreferNativeMpr();
