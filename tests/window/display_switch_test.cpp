// The built saver's display-mode switch at 640 x 480 and 800 x 600, seen
// from outside while it runs: through DirectDraw, through the display
// settings when DirectDraw refuses (a DirectDraw stand-in loaded in place
// of the system's), the box on a screen without the mode, and the screen
// back at its own mode after every end, a missing picture's included.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "box_watcher.h"
#include "saver_process.h"

namespace {

const DWORD kDesktopWidth = 1024;
const DWORD kDesktopHeight = 768;

// The DirectDraw stand-in's answer to E_FAIL-style refusals (DDERR_GENERIC).
const char kRefused[] = "0x80004005";

// Lines of a text file, line ends dropped.
std::vector<std::string> FileLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::string bytes;
    if (!ReadFileBytes(path, &bytes))
        return lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos)
            end = bytes.size();
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// All lines of a list, one per line, for failure messages.
std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// The screen is at the desktop's own size.
void ExpectDesktopSize()
{
    ScreenMode now = CurrentScreenMode();
    EXPECT_EQ(kDesktopWidth, now.width);
    EXPECT_EQ(kDesktopHeight, now.height);
}

class DisplaySwitch : public ::testing::Test {
protected:
    void SetUp() override
    {
        ForgetSettings();
        desktop_ = CurrentScreenMode();
        ASSERT_EQ(kDesktopWidth, desktop_.width);
        ASSERT_EQ(kDesktopHeight, desktop_.height);
    }

    // Runs the saver at a stored resolution until it draws, lets it run,
    // closes it; checks that it ended with 0 and left the screen as it was.
    SaverSession RunAt(DWORD resolution, const std::string& folder)
    {
        StoreSettings(resolution, 0);
        SaverSession session = StartSaver(folder, "/s");
        EXPECT_TRUE(WaitForGlChild(session, 30000)) << "no GL child window appeared";
        WatchSaver(session, 500);
        EXPECT_EQ(0u, CloseSaver(session));
        EXPECT_TRUE(CurrentScreenMode() == desktop_) << ModeText(CurrentScreenMode());
        return session;
    }

    ScreenMode desktop_;
};

TEST_F(DisplaySwitch, Resolution1013SwitchesTheScreenTo640x480)
{
    SaverSession session = RunAt(1013, MakeSaverFolder("switch-640"));
    EXPECT_TRUE(SawSize(session, 640, 480)) << ModesText(session);
    EXPECT_EQ(640, session.childClient.right);
    EXPECT_EQ(480, session.childClient.bottom);
}

TEST_F(DisplaySwitch, Resolution1014SwitchesTheScreenTo800x600)
{
    SaverSession session = RunAt(1014, MakeSaverFolder("switch-800"));
    EXPECT_TRUE(SawSize(session, 800, 600)) << ModesText(session);
    EXPECT_FALSE(SawSize(session, 640, 480)) << ModesText(session);
}

// Wine's per-program setting that loads the DirectDraw library found beside
// the saver instead of the system's own. (WINEDLLOVERRIDES does not reach a
// program that a Windows program starts.)
const char kSaverOverrides[] = "Software\\Wine\\AppDefaults\\opengl.scr\\DllOverrides";

// Runs with the DirectDraw stand-in in the given mode; its log lines.
class DirectDrawStandIn : public DisplaySwitch {
protected:
    void SetUp() override
    {
        DisplaySwitch::SetUp();
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kSaverOverrides, 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
        RegSetValueExA(key, "ddraw", 0, REG_SZ, reinterpret_cast<const BYTE*>("native"), 7);
        RegCloseKey(key);
    }
    void TearDown() override { RegDeleteKeyA(HKEY_CURRENT_USER, kSaverOverrides); }

    std::vector<std::string> RunWithStandIn(const char* mode, DWORD resolution,
                                            SaverSession* session)
    {
        std::string folder = MakeSaverFolder(std::string("ddraw-") + mode, {"ddraw\\ddraw.dll"});
        std::string log = folder + "\\ddraw.txt";
        DeleteFileA(log.c_str());
        ScopedVariable answer("DDRAW_DOUBLE_MODE", mode);
        ScopedVariable file("DDRAW_DOUBLE_FILE", log);
        *session = RunAt(resolution, folder);
        return FileLines(log);
    }
};

TEST_F(DirectDrawStandIn, AcceptedSwitchAsksTheSaverWindowAndNothingElse)
{
    SaverSession session;
    std::vector<std::string> calls = RunWithStandIn("accept", 1013, &session);
    ASSERT_EQ(4u, calls.size()) << Joined(calls);
    EXPECT_EQ("DirectDrawCreate(null, null) = 0x0", calls[0]);
    // The saver window (the GL child's top-level parent), with
    // DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE.
    EXPECT_EQ("SetCooperativeLevel(WindowsScreenSaverClass, top-level, 0x11) = 0x0", calls[1]);
    EXPECT_EQ("SetDisplayMode(640, 480, 16) = 0x0", calls[2]);
    // Held until the end; the stand-in switched nothing, and nothing else did.
    EXPECT_EQ(0u, calls[3].find("Release = 0, screen 1024x768")) << calls[3];
    EXPECT_FALSE(SawSize(session, 640, 480)) << ModesText(session);
}

TEST_F(DirectDrawStandIn, NoDirectDrawFallsBackToTheDisplaySettings)
{
    SaverSession session;
    std::vector<std::string> calls = RunWithStandIn("refuse-create", 1013, &session);
    ASSERT_EQ(1u, calls.size()) << Joined(calls);
    EXPECT_EQ(std::string("DirectDrawCreate(null, null) = ") + kRefused, calls[0]);
    EXPECT_TRUE(SawSize(session, 640, 480)) << ModesText(session);
}

TEST_F(DirectDrawStandIn, RefusedCooperationReleasesBeforeTheFallBack)
{
    SaverSession session;
    std::vector<std::string> calls = RunWithStandIn("refuse-level", 1013, &session);
    ASSERT_EQ(3u, calls.size()) << Joined(calls);
    EXPECT_EQ(std::string("SetCooperativeLevel(WindowsScreenSaverClass, top-level, 0x11) = ") +
                  kRefused, calls[1]);
    // Released while the screen was still unswitched.
    EXPECT_EQ(0u, calls[2].find("Release = 0, screen 1024x768")) << calls[2];
    EXPECT_TRUE(SawSize(session, 640, 480)) << ModesText(session);
}

TEST_F(DirectDrawStandIn, RefusedModeReleasesBeforeTheFallBack)
{
    SaverSession session;
    std::vector<std::string> calls = RunWithStandIn("refuse-mode", 1014, &session);
    ASSERT_EQ(4u, calls.size()) << Joined(calls);
    EXPECT_EQ("SetCooperativeLevel(WindowsScreenSaverClass, top-level, 0x11) = 0x0", calls[1]);
    EXPECT_EQ(std::string("SetDisplayMode(800, 600, 16) = ") + kRefused, calls[2]);
    EXPECT_EQ(0u, calls[3].find("Release = 0, screen 1024x768")) << calls[3];
    EXPECT_TRUE(SawSize(session, 800, 600)) << ModesText(session);
}

// Ends through the picture loader's exit while the screen is switched: the
// screen still comes back.
class MissingPicture : public DisplaySwitch {
protected:
    void SetUp() override
    {
        DisplaySwitch::SetUp();
        ASSERT_TRUE(MoveFileA(kPicture, kPictureAway));
    }
    void TearDown() override { MoveFileA(kPictureAway, kPicture); }

    static constexpr const char* kPicture = "c:\\zelvodata\\quad.bmp";
    static constexpr const char* kPictureAway = "c:\\zelvodata\\quad.bmp.away";
};

TEST_F(MissingPicture, SwitchedScreenIsRestoredWhenThePictureEndsTheSaver)
{
    StoreSettings(1013, 0);
    SaverSession session = StartSaver(MakeSaverFolder("missing-picture"), "/s");
    BoxWatch boxes(session.processId);
    EXPECT_EQ(0u, WaitForSaverExit(session, 30000));
    std::vector<SeenBox> seen = boxes.Stop();
    ASSERT_FALSE(seen.empty());
    for (const SeenBox& box : seen)
        EXPECT_EQ("Error", box.caption) << box.text;
    EXPECT_NE(std::string::npos, seen[0].text.find("quad.bmp")) << seen[0].text;
    EXPECT_TRUE(SawSize(session, 640, 480)) << ModesText(session);
    EXPECT_FALSE(session.sawGlChild);
    ExpectDesktopSize();
}

// Plain X server: no 16-bit mode of the wanted size exists.
TEST(NoFullScreenMode, BoxThenDrawingGoesOnOnTheUnswitchedScreen)
{
    ForgetSettings();
    StoreSettings(1014, 0);
    std::string folder = MakeSaverFolder("no-mode", {"gl-recorder\\3dfxgl.dll"});
    std::string recorder = folder + "\\recorder.txt";
    DeleteFileA(recorder.c_str());
    ScopedVariable recorderFile("GL_RECORDER_FILE", recorder);
    ScreenMode screen = CurrentScreenMode();

    SaverSession session = StartSaver(folder, "/s");
    HWND box = nullptr;
    for (DWORD start = GetTickCount(); !box && GetTickCount() - start < 30000; Sleep(20))
        box = FindMessageBox(session.processId);
    ASSERT_TRUE(box);
    EXPECT_EQ("Error: Didn't find good fullscreen mode", MessageBoxText(box));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(box, 0x0440))) << "no icon";
    EXPECT_EQ(nullptr, GetWindow(box, GW_OWNER));
    ActivateSaverWindow(session);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    // Watch for further boxes only once this one is gone (on a plain X
    // server a box takes a while to disappear).
    for (DWORD start = GetTickCount(); IsWindow(box) && GetTickCount() - start < 10000;)
        Sleep(20);
    EXPECT_FALSE(IsWindow(box)) << "the box did not go away";
    BoxWatch moreBoxes(session.processId);

    ASSERT_TRUE(WaitForGlChild(session, 30000));
    WatchSaver(session, 2500);
    EXPECT_TRUE(moreBoxes.Stop().empty());
    EXPECT_EQ(0u, CloseSaver(session));
    EXPECT_EQ(800, session.childClient.right);
    EXPECT_EQ(600, session.childClient.bottom);
    ASSERT_EQ(1u, session.modes.size()) << ModesText(session);
    EXPECT_TRUE(session.modes[0] == screen);

    // Frames kept coming for the seconds it ran after the box.
    std::vector<RecordedLine> swaps =
        LinesStartingWith(ReadRecorderFile(recorder), "wglSwapBuffers(");
    ASSERT_GE(swaps.size(), 10u);
    EXPECT_GE(swaps.back().ms - swaps.front().ms, 2000.0);
}

}  // namespace
