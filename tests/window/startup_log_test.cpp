// The built saver started as the system starts it, on a 1024 x 768 screen
// (Wine's virtual desktop) with the pictures installed: the start-up log
// "ssaver.txt" it writes in its current folder for each setting and driver,
// the size and place of the GL child window, and a log that cannot be
// written.
#include <gtest/gtest.h>

#include <string>

#include "box_watcher.h"
#include "saver_process.h"

namespace {

const ScreenMode kDesktop = {1024, 768, 0};

// The log as the saver writes it: four lines in text mode (each line end is
// CR LF on this platform), the last without a line end.
std::string ExpectedLog(int resolution, int width, int height, const char* driver)
{
    return "childRes = " + std::to_string(resolution) + "\r\nchildX   = " + std::to_string(width) +
           "\r\nchildY   = " + std::to_string(height) + "\r\n" + driver;
}

// What one full-screen run left: its log, and what was seen while it ran.
struct LoggedRun {
    SaverSession session;
    std::string log;
    bool logRead = false;
};

// Runs the saver in folder until its GL child is up, closes it and reads
// the log.
LoggedRun RunAndReadLog(const std::string& folder, const std::string& arguments = "/s")
{
    DeleteFileA((folder + "\\ssaver.txt").c_str());
    LoggedRun run;
    run.session = StartSaver(folder, arguments);
    EXPECT_TRUE(WaitForGlChild(run.session, 30000)) << "no GL child window appeared";
    WatchSaver(run.session, 300);
    EXPECT_EQ(0u, CloseSaver(run.session));
    run.logRead = ReadFileBytes(folder + "\\ssaver.txt", &run.log);
    return run;
}

// The width and height of a client rectangle, as "WxH".
std::string SizeText(const RECT& rect)
{
    return std::to_string(rect.right - rect.left) + "x" + std::to_string(rect.bottom - rect.top);
}

// The display stayed at the desktop's size through the whole run.
void ExpectNoSwitch(const SaverSession& session)
{
    for (const ScreenMode& mode : session.modes) {
        EXPECT_EQ(kDesktop.width, mode.width) << ModesText(session);
        EXPECT_EQ(kDesktop.height, mode.height) << ModesText(session);
    }
}

class StartupLog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ForgetSettings();
        ASSERT_EQ(kDesktop.width, CurrentScreenMode().width);
        ASSERT_EQ(kDesktop.height, CurrentScreenMode().height);
    }
};

TEST_F(StartupLog, NoSettingsStoredLogsTheDesktopSizeAndTheSystemLibrary)
{
    LoggedRun run = RunAndReadLog(MakeSaverFolder("no-settings"));
    ASSERT_TRUE(run.logRead);
    EXPECT_EQ(ExpectedLog(1012, 1024, 768, "opengl32.dll"), run.log);
    EXPECT_EQ("1024x768", SizeText(run.session.saverClient));
    EXPECT_EQ("1024x768", SizeText(run.session.childClient));
    EXPECT_EQ(0, run.session.childOrigin.x);
    EXPECT_EQ(0, run.session.childOrigin.y);
    ExpectNoSwitch(run.session);
}

TEST_F(StartupLog, EachStoredResolutionSizesTheChild)
{
    struct Case {
        DWORD resolution;
        int width, height;
    } cases[] = {{1012, 1024, 768}, {1013, 640, 480}, {1014, 800, 600}};
    std::string folder = MakeSaverFolder("resolutions");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.resolution);
        StoreSettings(c.resolution, 0);
        LoggedRun run = RunAndReadLog(folder);
        ASSERT_TRUE(run.logRead);
        EXPECT_EQ(ExpectedLog(c.resolution, c.width, c.height, "opengl32.dll"), run.log);
        EXPECT_EQ(std::to_string(c.width) + "x" + std::to_string(c.height),
                  SizeText(run.session.childClient));
        EXPECT_EQ(0, run.session.childOrigin.x);
        EXPECT_EQ(0, run.session.childOrigin.y);
        // (A switched screen takes the saver window to its new size.)
        if (c.resolution == 1012)
            EXPECT_EQ("1024x768", SizeText(run.session.saverClient));
        else
            EXPECT_TRUE(SawSize(run.session, c.width, c.height)) << ModesText(run.session);
    }
}

TEST_F(StartupLog, ResolutionTheDialogCannotStoreCountsAsTheDesktop)
{
    std::string folder = MakeSaverFolder("unknown-resolution");
    for (DWORD resolution : {1015u, 1u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(resolution);
        StoreSettings(resolution, 0);
        LoggedRun run = RunAndReadLog(folder);
        ASSERT_TRUE(run.logRead);
        EXPECT_EQ(ExpectedLog(1012, 1024, 768, "opengl32.dll"), run.log);
        EXPECT_EQ("1024x768", SizeText(run.session.childClient));
        ExpectNoSwitch(run.session);
    }
}

TEST_F(StartupLog, UseDefaultLoadsTheSystemLibraryWithoutProbing)
{
    std::string folder = MakeSaverFolder("usedefault", {"gl-recorder\\3dfxgl.dll"});
    std::string recorder = folder + "\\recorder.txt";
    ScopedVariable recorderFile("GL_RECORDER_FILE", recorder);
    StoreSettings(1012, 1);
    LoggedRun run = RunAndReadLog(folder);
    ASSERT_TRUE(run.logRead);
    EXPECT_EQ(ExpectedLog(1012, 1024, 768, "opengl32.dll"), run.log);
    // The standalone driver beside the program was never even loaded.
    EXPECT_FALSE(PathExists(recorder));
}

TEST_F(StartupLog, StandaloneDriverAtTheDesktopChoiceDraws640x480)
{
    std::string folder = MakeSaverFolder("3dfx-desktop", {"gl-recorder\\3dfxgl.dll"});
    std::string recorder = folder + "\\recorder.txt";
    ScopedVariable recorderFile("GL_RECORDER_FILE", recorder);
    StoreSettings(1012, 0);
    LoggedRun run = RunAndReadLog(folder);
    ASSERT_TRUE(run.logRead);
    EXPECT_EQ(ExpectedLog(1012, 640, 480, "3dfxgl.dll"), run.log);
    EXPECT_EQ("640x480", SizeText(run.session.childClient));
    EXPECT_TRUE(SawSize(run.session, 640, 480)) << ModesText(run.session);
    EXPECT_EQ(kDesktop.width, CurrentScreenMode().width);
    // The double drew: the context was made through it and frames swapped.
    std::vector<RecordedLine> lines = ReadRecorderFile(recorder);
    EXPECT_FALSE(LinesStartingWith(lines, "wglCreateContext(").empty());
    EXPECT_FALSE(LinesStartingWith(lines, "wglSwapBuffers(").empty());
}

TEST_F(StartupLog, StandaloneDriverKeepsAFixedResolution)
{
    std::string folder = MakeSaverFolder("3dfx-800", {"gl-recorder\\3dfxgl.dll"});
    StoreSettings(1014, 0);
    LoggedRun run = RunAndReadLog(folder);
    ASSERT_TRUE(run.logRead);
    EXPECT_EQ(ExpectedLog(1014, 800, 600, "3dfxgl.dll"), run.log);
    EXPECT_EQ("800x600", SizeText(run.session.childClient));
}

// A window of this test with a client area of the given size (152 x 112
// unless said), standing in for the preview area of the display settings.
class PreviewParent {
public:
    explicit PreviewParent(int width = 152, int height = 112)
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "PreviewArea";
        RegisterClassA(&windowClass);
        RECT frame = {0, 0, width, height};
        AdjustWindowRect(&frame, WS_POPUP, FALSE);
        window = CreateWindowExA(0, "PreviewArea", "Preview area", WS_POPUP | WS_VISIBLE, 100,
                                 100, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~PreviewParent() { DestroyWindow(window); }
    HWND window;
};

TEST_F(StartupLog, PreviewIsAlwaysTheDesktopChoiceWithTheSystemLibrary)
{
    // Settings that would otherwise switch the screen and use the double.
    std::string folder = MakeSaverFolder("preview", {"gl-recorder\\3dfxgl.dll"});
    std::string recorder = folder + "\\recorder.txt";
    ScopedVariable recorderFile("GL_RECORDER_FILE", recorder);
    StoreSettings(1013, 0);
    PreviewParent parent;
    ASSERT_TRUE(parent.window);
    char handle[32];
    wsprintfA(handle, "%lu", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(parent.window)));
    DeleteFileA((folder + "\\ssaver.txt").c_str());

    SaverSession session = StartSaver(folder, std::string("/p ") + handle);
    ASSERT_TRUE(WaitForGlChild(session, 30000));
    WatchSaver(session, 300);
    EXPECT_EQ(parent.window, GetParent(session.saverWindow));
    EXPECT_EQ("152x112", SizeText(session.saverClient));
    EXPECT_EQ("152x112", SizeText(session.childClient));
    // Only the full-screen saver rests while the display is off.
    std::string said;
    EXPECT_EQ(2u, SendDisplayPower(session, "console", 0, &said)) << said;
    EXPECT_EQ(0u, CloseSaver(session));

    std::string log;
    ASSERT_TRUE(ReadFileBytes(folder + "\\ssaver.txt", &log));
    EXPECT_EQ(ExpectedLog(1012, 152, 112, "opengl32.dll"), log);
    ExpectNoSwitch(session);
    EXPECT_FALSE(PathExists(recorder)) << "the preview probed for a standalone driver";
}

// A preview area 640 wide, the width at which a full-screen saver switches
// the display: the preview switches nothing, its GL child lies at its own
// corner, and a display change leaves the preview where its parent has it.
TEST_F(StartupLog, WidePreviewStaysInItsAreaAndSwitchesNothing)
{
    std::string folder = MakeSaverFolder("wide-preview");
    PreviewParent parent(640, 480);
    ASSERT_TRUE(parent.window);
    char handle[32];
    wsprintfA(handle, "%lu", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(parent.window)));
    SaverSession session = StartSaver(folder, std::string("/p ") + handle);
    ASSERT_TRUE(WaitForGlChild(session, 30000));
    WatchSaver(session, 300);
    EXPECT_EQ("640x480", SizeText(session.childClient));
    EXPECT_EQ(0, session.childOrigin.x);
    EXPECT_EQ(0, session.childOrigin.y);

    // The system's display-change message, as the preview's parent passes
    // it on; answered once the preview has handled it.
    RECT area = {}, before = {}, after = {};
    GetClientRect(parent.window, &area);
    MapWindowPoints(parent.window, nullptr, reinterpret_cast<POINT*>(&area), 2);
    GetWindowRect(session.saverWindow, &before);
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutA(session.saverWindow, WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768),
                                    SMTO_ABORTIFHUNG, 10000, &answer));
    GetWindowRect(session.saverWindow, &after);
    EXPECT_EQ(RectText(area), RectText(before));
    EXPECT_EQ(RectText(area), RectText(after)) << "the preview left its area on a display change";
    EXPECT_EQ(0u, CloseSaver(session));
    ExpectNoSwitch(session);
}

// Runs the saver until it draws and closes it: no box, and the end is 0.
void ExpectQuietRun(const std::string& folder)
{
    SaverSession session = StartSaver(folder, "/s");
    BoxWatch boxes(session.processId);
    ASSERT_TRUE(WaitForGlChild(session, 30000));
    WatchSaver(session, 500);
    EXPECT_EQ(0u, CloseSaver(session));
    std::vector<SeenBox> seen = boxes.Stop();
    EXPECT_TRUE(seen.empty()) << seen.front().text;
}

// A log that cannot be created is skipped: no box, the saver draws and ends
// as usual, and what stood in the log's place is left as it was.
TEST_F(StartupLog, LogThatCannotBeCreatedIsSkipped)
{
    std::string folder = MakeSaverFolder("log-is-a-folder");
    std::string logPath = folder + "\\ssaver.txt";
    ASSERT_TRUE(CreateDirectoryA(logPath.c_str(), nullptr));
    ExpectQuietRun(folder);
    DWORD attributes = GetFileAttributesA(logPath.c_str());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    RemoveDirectoryA(logPath.c_str());
}

// (A read-only log cannot stand in here: Wine run as root writes it.)
TEST_F(StartupLog, LogHeldOpenByAnotherProgramIsLeftAlone)
{
    std::string folder = MakeSaverFolder("log-held-open");
    std::string logPath = folder + "\\ssaver.txt";
    FILE* old = fopen(logPath.c_str(), "wb");
    ASSERT_TRUE(old);
    fputs("old log", old);
    fclose(old);
    HANDLE held = CreateFileA(logPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    ExpectQuietRun(folder);
    CloseHandle(held);
    std::string log;
    ASSERT_TRUE(ReadFileBytes(logPath, &log));
    EXPECT_EQ("old log", log);
}

}  // namespace
