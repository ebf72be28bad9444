#pragma once
// For tests that run the built saver program as the system would: a copy of
// it in a private folder with the doubles it should find there, its stored
// settings, its windows seen from outside, the display modes in force while
// it runs, and the files it and the doubles leave behind.
#include <windows.h>

#include <functional>
#include <string>

#include "xdotool.h"
#include <vector>

#include "child_process.h"

// A display mode: size and colour depth.
struct ScreenMode {
    DWORD width = 0;
    DWORD height = 0;
    DWORD bitsPerPixel = 0;
};
bool operator==(const ScreenMode& a, const ScreenMode& b);
// "640x480x16"
std::string ModeText(const ScreenMode& mode);
// The display mode in force now.
ScreenMode CurrentScreenMode();

// Makes a folder of the run folder holding a copy of opengl.scr and the
// named doubles (paths under bin/doubles, e.g. "gl-recorder\\3dfxgl.dll");
// returns its Windows path, without a trailing backslash.
std::string MakeSaverFolder(const std::string& name, const std::vector<std::string>& doubles = {});

// Stores the resolution and usedefault settings as the dialog would.
void StoreSettings(DWORD resolution, DWORD usedefault);
// Removes the settings key, as for a user who never configured the saver.
void ForgetSettings();

// Sets an environment variable for the programs this test starts while it
// lives; the old value comes back afterwards.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::string name_;
    std::string old_;
    bool hadOld_;
};

// A running saver as a test sees it from outside. A saver still running
// when its session goes (a failed check ended the test early) is ended,
// so that it cannot stand in the way of the next start.
struct SaverSession {
    SaverSession() = default;
    SaverSession(SaverSession&& other);
    SaverSession& operator=(SaverSession&& other);
    ~SaverSession();

    ChildProcess process;
    DWORD processId = 0;
    HWND saverWindow = nullptr;   // class "WindowsScreenSaverClass"
    HWND glChild = nullptr;       // class "OpenGL ScreenSaver"
    RECT saverClient = {};        // client areas, when the child was found
    RECT childClient = {};
    POINT childOrigin = {};       // child's top-left in the saver window's client area
    std::vector<ScreenMode> modes;  // display modes seen while watching, each change once
    DWORD exitCode = STILL_ACTIVE;
    bool sawGlChild = false;
};

// Starts "<folder>\opengl.scr <arguments>" in folder.
SaverSession StartSaver(const std::string& folder, const std::string& arguments);
// Waits up to ms for the saver window to be shown with its GL child, which
// is when both windows' creation is over; notes the display modes and
// handles this thread's messages meanwhile. True when found.
bool WaitForGlChild(SaverSession& session, DWORD ms);
// Lets the saver run for ms, noting display modes.
void WatchSaver(SaverSession& session, DWORD ms);
// Waits up to ms for the process to end (terminates it if it does not),
// noting display modes and looking for a GL child; returns the exit code.
DWORD WaitForSaverExit(SaverSession& session, DWORD ms);
// Posts WM_CLOSE to the saver window and waits up to ms for the end.
DWORD CloseSaver(SaverSession& session, DWORD ms = 20000);
// True when the screen had this size at some time while watching. (Seen
// from another process, Wine's virtual desktop keeps its own colour depth
// through a switch; the 16 bits show only inside the switching process.)
bool SawSize(const SaverSession& session, DWORD width, DWORD height);
// The modes seen, as text: "1024x768x32 640x480x16 ...".
std::string ModesText(const SaverSession& session);

// Lets the saver run until done() holds, for at most ms, noting display
// modes; true when it held.
bool WatchSaverUntil(SaverSession& session, const std::function<bool()>& done, DWORD ms);

// The monitors' rectangles on the screen, the primary (at screen point 0,0)
// first.
std::vector<RECT> MonitorRects();
// "(left,top)-(right,bottom)", and the rectangles of a list one after another.
std::string RectText(const RECT& rect);
std::string RectsText(const std::vector<RECT>& rects);
// What the full-screen saver window leaves showing: "" when it is topmost and
// every monitor lies inside it, else the monitors outside it.
std::string UncoveredMonitors(const SaverSession& session);
// Puts the pointer at a screen point; false when the system does not have it
// there within a few seconds.
bool PlacePointer(POINT at);

// A visible message box of the process, or null.
HWND FindMessageBox(DWORD processId);
// Its caption and text: "caption: text".
std::string MessageBoxText(HWND box);
// Gives the saver window the activation, as the system does for the next
// window when an active window without owner goes away. (Wine deactivates
// the whole program for a moment instead, which the saver's close rules
// take for the user switching away.)
void ActivateSaverWindow(const SaverSession& session);

// The bytes of a file; false when it cannot be read.
bool ReadFileBytes(const std::string& path, std::string* bytes);
// True when something (file or folder) has the path.
bool PathExists(const std::string& path);

// One line of the recording driver's log file (GL_RECORDER_FILE): the
// process's age in milliseconds and the rest of the line.
struct RecordedLine {
    double ms;
    std::string text;
};
std::vector<RecordedLine> ReadRecorderFile(const std::string& path);
// Lines of the given file that start with prefix, in order.
std::vector<RecordedLine> LinesStartingWith(const std::vector<RecordedLine>& lines,
                                            const std::string& prefix);

// Milliseconds since the process was created, on the clock the recording
// driver stamps its lines with.
double ProcessAge(HANDLE process);

// A key pressed and released through the system's input queue.
void SendKey(WORD virtualKey);

// Tells the saver the display's power state as Windows does, through the
// program display_power_sender beside the test: setting "console", "monitor"
// or "other", the DWORD value (0 off, 1 on, 2 dimmed), the DataLength
// written, and the target window ("registered": the saver's message-only
// window; "saver": the saver window). Returns the sender's exit status (0
// when the message was answered) and its output in *said.
DWORD SendDisplayPower(const SaverSession& session, const std::string& setting, DWORD value,
                       std::string* said, DWORD dataLength = 4,
                       const std::string& target = "registered");

// The processor time the saver's Linux process has used, all its threads
// (user and system clock ticks from /proc/PID/stat through Wine's drive Z:);
// false when its process cannot be found or read. The process is the one
// whose program is the copy of opengl.scr in folder (of MakeSaverFolder).
bool SaverProcessorTicks(const std::string& folder, unsigned long long* ticks);
