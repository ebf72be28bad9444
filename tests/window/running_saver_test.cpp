// The built saver running full screen at 1024 x 768 with a recording driver
// (the doubles of a PowerVR card's hardware layer and driver beside it):
// frames keep coming, real input closes it with 0, and the GL context goes
// before the driver library; a driver library that lacks an entry ends it
// quietly before any GL call; and on two monitors the saver window covers
// both for the whole run, a switched scene lies on the primary and mouse
// travel on the second monitor ends it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bmp_portable.h"
#include "box_watcher.h"
#include "saver_process.h"
#include "test_paths.h"

namespace {

// The lines of the recording driver's file as one text, for failure messages.
std::string Joined(const std::vector<RecordedLine>& lines)
{
    std::string text;
    for (const RecordedLine& line : lines)
        text += std::to_string(static_cast<long>(line.ms)) + " " + line.text + "\n";
    return text;
}

// The argument list of a logged call: "wglMakeCurrent(0x1, 0x2)" -> "0x1, 0x2".
std::string Arguments(const std::string& call)
{
    size_t open = call.find('(');
    return call.substr(open + 1, call.size() - open - 2);
}

class RunningSaver : public ::testing::Test {
protected:
    void SetUp() override
    {
        ForgetSettings();
        StoreSettings(1012, 0);
        folder_ = MakeSaverFolder(std::string("running-") +
                                      ::testing::UnitTest::GetInstance()->current_test_info()->name(),
                                  {"pvrhal\\pvrhal32.dll", "gl-recorder\\pvrgl.dll"});
        recorder_ = folder_ + "\\recorder.txt";
        DeleteFileA(recorder_.c_str());
        recorderFile_.reset(new ScopedVariable("GL_RECORDER_FILE", recorder_));
    }

    // Starts the saver and waits until it draws; the process age then.
    double StartAndWaitForFrames()
    {
        session_ = StartSaver(folder_, "/s");
        EXPECT_TRUE(WaitForGlChild(session_, 30000));
        WatchSaver(session_, 300);
        return session_.process.process ? ProcessAge(session_.process.process) : 0.0;
    }

    // Checks how the run ended: the last frame, then the context made
    // non-current and deleted on the device context it was made on, then
    // the library unloaded as given.
    void ExpectTeardown(const char* unloadedBy)
    {
        std::vector<RecordedLine> lines = ReadRecorderFile(recorder_);
        std::vector<RecordedLine> current = LinesStartingWith(lines, "wglMakeCurrent(");
        ASSERT_EQ(2u, current.size()) << Joined(lines);
        // "dc, context" of the start; the dc alone.
        const std::string started = Arguments(current[0].text);
        const std::string dc = started.substr(0, started.find(','));
        const std::string context = started.substr(started.find(' ') + 1);
        ASSERT_GE(lines.size(), 5u);
        const size_t end = lines.size();
        EXPECT_EQ("wglMakeCurrent(" + dc + ", 0x0)", lines[end - 4].text) << Joined(lines);
        EXPECT_EQ("wglDeleteContext(" + context + ")", lines[end - 3].text) << Joined(lines);
        EXPECT_EQ(0u, lines[end - 2].text.find("gl calls ")) << Joined(lines);
        EXPECT_EQ(std::string("detach ") + unloadedBy, lines[end - 1].text) << Joined(lines);
        EXPECT_EQ("wglSwapBuffers(" + dc + ")", lines[end - 5].text) << Joined(lines);
    }

    std::string folder_, recorder_;
    std::unique_ptr<ScopedVariable> recorderFile_;
    SaverSession session_;
};

TEST_F(RunningSaver, FramesKeepComingUntilAKeyEndsIt)
{
    const double drawing = StartAndWaitForFrames();
    WatchSaver(session_, 4000);
    ASSERT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(session_.process.process, 0))
        << "the saver ended by itself";
    const double watched = ProcessAge(session_.process.process);
    SendKey(VK_SPACE);
    EXPECT_EQ(0u, WaitForSaverExit(session_, 15000));

    std::vector<RecordedLine> swaps =
        LinesStartingWith(ReadRecorderFile(recorder_), "wglSwapBuffers(");
    ASSERT_FALSE(swaps.empty());
    EXPECT_LT(swaps.front().ms, drawing);
    // Every second of the watch had frames, up to its end.
    int watchedFrames = 0;
    double last = drawing;
    for (const RecordedLine& swap : swaps) {
        if (swap.ms < drawing || swap.ms > watched)
            continue;
        ++watchedFrames;
        EXPECT_LT(swap.ms - last, 1000.0) << "no frame for a second before " << swap.ms << " ms";
        last = swap.ms;
    }
    EXPECT_LT(watched - last, 1000.0);
    EXPECT_GE(watchedFrames, 20) << "frames in " << (watched - drawing) << " ms";
    // The key reached the saver window: it was destroyed with its child,
    // and its teardown freed the driver library.
    ExpectTeardown("FreeLibrary");
}

TEST_F(RunningSaver, MouseTravelOverFourPixelsEndsIt)
{
    StartAndWaitForFrames();
    // Four pixels of travel in all (2 + 2) are not enough.
    ASSERT_EQ(0u, Xdotool("mousemove_relative -- 2 2"));
    WatchSaver(session_, 1500);
    ASSERT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(session_.process.process, 0))
        << "the saver ended on four pixels of travel";
    ASSERT_EQ(0u, Xdotool("mousemove_relative -- 3 0"));
    EXPECT_EQ(0u, WaitForSaverExit(session_, 15000));
    // The move reached the GL child, which closed itself; its destruction
    // ended the message loop, so the process's end unloaded the library.
    ExpectTeardown("exit");
}

// Travel while the saver is still starting (held inside its window
// creation) counts from where the pointer was when it started: one pixel
// more, once it draws, ends it.
TEST_F(RunningSaver, TravelWhileStartingCounts)
{
    HANDLE hold = CreateEventA(nullptr, TRUE, FALSE, "running-saver-hold");
    ASSERT_NE(nullptr, hold);
    ScopedVariable holdName("GL_RECORDER_HOLD", "running-saver-hold");
    session_ = StartSaver(folder_, "/s");
    const bool held = WatchSaverUntil(session_, [&] {
        return !LinesStartingWith(ReadRecorderFile(recorder_), "wglCreateContext(").empty();
    }, 30000);
    POINT before = {}, now = {};
    GetCursorPos(&before);
    if (held) {
        EXPECT_EQ(0u, Xdotool("mousemove_relative -- 3 1"));
        EXPECT_TRUE(WatchSaverUntil(session_, [&] {
            GetCursorPos(&now);
            return now.x != before.x;
        }, 5000)) << "the pointer did not move";
    }
    SetEvent(hold);
    CloseHandle(hold);
    ASSERT_TRUE(held) << "the saver never made its context";
    ASSERT_TRUE(WaitForGlChild(session_, 30000));
    ASSERT_EQ(0u, Xdotool("mousemove_relative -- 1 0"));
    EXPECT_EQ(0u, WaitForSaverExit(session_, 15000))
        << "the travel made while the saver started was not counted";
}

// ---- The display turned off by Windows (Vista and later) while the saver
// runs. Wine never sends this notification, so these tests deliver it the
// way Windows does (its data written into the saver's process, the message
// sent to the window the saver registered). They prove the saver's reaction
// to the notification, not that Windows sends it. ----

class DisplayPower : public RunningSaver {
protected:
    // The saver's processor ticks over the next ms (2.5 s), as it runs on.
    unsigned long long TicksWhileWatching(DWORD ms = 2500)
    {
        unsigned long long before = 0, after = 0;
        EXPECT_TRUE(SaverProcessorTicks(folder_, &before)) << "no Linux process for " << folder_;
        WatchSaver(session_, ms);
        EXPECT_TRUE(SaverProcessorTicks(folder_, &after));
        return after - before;
    }

    // Tells the saver's registered window the display's state.
    void Tell(const char* setting, DWORD state, DWORD dataLength = 4)
    {
        std::string said;
        ASSERT_EQ(0u, SendDisplayPower(session_, setting, state, &said, dataLength)) << said;
        if (said.find("top-level") != std::string::npos)
            printf("%s", said.c_str());  // the sender's stand-in, kept in the log
    }

    // Frames drawn so far (buffer swaps).
    size_t Frames()
    {
        return LinesStartingWith(ReadRecorderFile(recorder_), "wglSwapBuffers(").size();
    }

    // True when frames come again after the count, within ten seconds.
    bool FramesComeAfter(size_t count)
    {
        return WatchSaverUntil(session_, [&] { return Frames() >= count + 3; }, 10000);
    }

    // True while the saver's process runs.
    bool Running()
    {
        return WaitForSingleObject(session_.process.process, 0) == WAIT_TIMEOUT;
    }

    // Told the display is off through the setting, the saver goes on running
    // without a frame, on at most 5 % of the processor time it draws with.
    // Returns the frame count then.
    size_t ExpectRestWhenOff(const char* setting)
    {
        const unsigned long long drawing = TicksWhileWatching();
        Tell(setting, 0);
        const size_t frames = Frames();
        const unsigned long long resting = TicksWhileWatching();
        EXPECT_TRUE(Running()) << "the saver ended when told the display is off";
        EXPECT_EQ(frames, Frames()) << "frames were drawn with the display off";
        EXPECT_GT(drawing, 50u) << "the saver hardly drew";
        EXPECT_LE(resting * 20, drawing)
            << "processor ticks in 2.5 s: " << drawing << " drawing, " << resting << " resting";
        return frames;
    }
};

TEST_F(DisplayPower, OffRestsDimmedOrOnDrawsAgain)
{
    StartAndWaitForFrames();
    size_t frames = ExpectRestWhenOff("console");
    Tell("console", 2);
    EXPECT_TRUE(FramesComeAfter(frames)) << "no frames once the display was dimmed";
    Tell("console", 0);
    frames = Frames();
    WatchSaver(session_, 1000);
    EXPECT_EQ(frames, Frames()) << "frames were drawn with the display off again";
    Tell("console", 1);
    EXPECT_TRUE(FramesComeAfter(frames)) << "no frames once the display was on";
    SendKey(VK_SPACE);
    EXPECT_EQ(0u, WaitForSaverExit(session_, 15000));
    ExpectTeardown("FreeLibrary");
}

// With the older setting too; and a key pressed while the display is off
// ends the saver as ever, its context and library let go in order.
TEST_F(DisplayPower, MonitorPowerSettingOfVistaAndSevenToo)
{
    StartAndWaitForFrames();
    const size_t frames = ExpectRestWhenOff("monitor");
    Tell("monitor", 1);
    EXPECT_TRUE(FramesComeAfter(frames)) << "no frames once the monitor was on";
    Tell("monitor", 0);
    SendKey(VK_SPACE);
    EXPECT_EQ(0u, WaitForSaverExit(session_, 15000));
    ExpectTeardown("FreeLibrary");
}

// Another setting, or an "off" with fewer than four bytes of data, changes
// nothing: the frames go on, and a key still ends the saver.
TEST_F(DisplayPower, OtherSettingOrShortDataIsIgnored)
{
    StartAndWaitForFrames();
    size_t frames = Frames();
    Tell("other", 0);
    EXPECT_TRUE(FramesComeAfter(frames)) << "another setting stopped the frames";
    frames = Frames();
    Tell("console", 0, 3);
    EXPECT_TRUE(FramesComeAfter(frames)) << "three bytes of data stopped the frames";
    frames = Frames();
    Tell("monitor", 0, 0);
    EXPECT_TRUE(FramesComeAfter(frames)) << "no data stopped the frames";
    SendKey(VK_SPACE);
    EXPECT_EQ(0u, WaitForSaverExit(session_, 15000));
}

// The saver window itself still closes on any power broadcast, this one
// included: the notification must never be registered on it.
TEST_F(DisplayPower, SentToTheSaverWindowItStillCloses)
{
    StartAndWaitForFrames();
    std::string said;
    ASSERT_EQ(0u, SendDisplayPower(session_, "console", 0, &said, 4, "saver")) << said;
    EXPECT_EQ(0u, WaitForSaverExit(session_, 15000));
}

// Not a test: the figure for tools/bench.sh (ctest -L benchmark), the
// saver's processor time a second while drawing and while the display is
// off, over three rounds of five seconds each.
class DisplayPowerFigure : public DisplayPower {};

TEST_F(DisplayPowerFigure, ProcessorTimeDrawingAndDisplayOff)
{
    StartAndWaitForFrames();
    unsigned long long drawing = 0, resting = 0;
    for (int round = 0; round < 3; ++round) {
        drawing += TicksWhileWatching(5000);
        Tell("console", 0);
        resting += TicksWhileWatching(5000);
        Tell("console", 1);
    }
    SendKey(VK_SPACE);
    EXPECT_EQ(0u, WaitForSaverExit(session_, 15000));
    // Linux counts 100 ticks a second: ticks a second are percent of a core.
    printf("result drawing_ticks_per_s=%.1f off_ticks_per_s=%.1f\n", drawing / 15.0,
           resting / 15.0);
}

// The standalone driver lacks one entry: the load fails and the saver ends
// with 0 without a box, a GL call, a GL child or a log.
TEST(FailedDriverLoad, EndsQuietlyBeforeAnyGlCall)
{
    ForgetSettings();
    std::string folder = MakeSaverFolder("incomplete-driver", {"gl-incomplete\\3dfxgl.dll"});
    std::string recorder = folder + "\\recorder.txt";
    DeleteFileA(recorder.c_str());
    DeleteFileA((folder + "\\ssaver.txt").c_str());
    ScopedVariable recorderFile("GL_RECORDER_FILE", recorder);

    SaverSession session = StartSaver(folder, "/s");
    BoxWatch boxes(session.processId);
    EXPECT_EQ(0u, WaitForSaverExit(session, 20000));
    std::vector<SeenBox> seen = boxes.Stop();
    EXPECT_TRUE(seen.empty()) << seen.front().caption << ": " << seen.front().text;
    EXPECT_FALSE(session.sawGlChild);
    EXPECT_FALSE(PathExists(folder + "\\ssaver.txt"));

    std::vector<RecordedLine> lines = ReadRecorderFile(recorder);
    std::vector<RecordedLine> counts = LinesStartingWith(lines, "gl calls ");
    ASSERT_FALSE(counts.empty()) << "the incomplete driver was never loaded";
    for (const RecordedLine& count : counts)
        EXPECT_EQ("gl calls 0", count.text);
    EXPECT_TRUE(LinesStartingWith(lines, "wgl").empty()) << Joined(lines);
}

// ---- Two monitors (wine-run.sh --xorg-two-heads): an 800 x 600 primary and
// a 1024 x 768 second head right or left of it, or a second 800 x 600 one
// below it ----

// A frame the capture library kept, read by the saver's own BMP reader.
struct KeptFrame {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;  // rows bottom-up, as the reader gives them

    // Reads the file; false if it cannot.
    bool Read(const std::string& path)
    {
        std::string reason;
        RgbImage* image = ReadBmpFile(path.c_str(), &reason);
        if (!image)
            return false;
        width = image->width;
        height = image->height;
        rgb.assign(image->data, image->data + static_cast<size_t>(width) * height * 3);
        free(image->data);
        free(image);
        return true;
    }
    // The pixel at x, y counted from the top-left corner.
    const unsigned char* At(int x, int y) const
    {
        return &rgb[(static_cast<size_t>(height - 1 - y) * width + x) * 3];
    }
    // The model's yellow-green; the stars and the cloud are white, blue and violet.
    bool IsModel(int x, int y) const
    {
        const unsigned char* p = At(x, y);
        return p[1] > 90 && p[1] > p[2] + 50 && p[0] > 40;
    }
    bool IsLit(int x, int y) const
    {
        const unsigned char* p = At(x, y);
        return p[0] > 8 || p[1] > 8 || p[2] > 8;
    }
};

// What is wrong with the scene in one monitor's part of a frame: "" when the
// model is there and centred on it (its spike may reach an edge as it turns).
std::string SceneFault(const KeptFrame& frame, const RECT& part)
{
    long count = 0;
    double sumX = 0, sumY = 0;
    for (int y = part.top; y < part.bottom; ++y)
        for (int x = part.left; x < part.right; ++x)
            if (frame.IsModel(x, y)) {
                ++count;
                sumX += x;
                sumY += y;
            }
    const int width = part.right - part.left, height = part.bottom - part.top;
    if (count < static_cast<long>(width) * height / 200)
        return "no model in " + RectText(part) + " (" + std::to_string(count) + " pixels)";
    const double x = (sumX / count - part.left) / width, y = (sumY / count - part.top) / height;
    if (x < 0.4 || x > 0.6 || y < 0.3 || y > 0.7)
        return "the model's centre lies at " + std::to_string(x) + ", " + std::to_string(y) +
               " of " + RectText(part);
    return "";
}

// The screen the monitors make up: the smallest rectangle holding them all.
RECT ScreenOf(const std::vector<RECT>& monitors)
{
    RECT screen = {};
    for (const RECT& monitor : monitors)
        UnionRect(&screen, &screen, &monitor);
    return screen;
}

// The libraries Wine takes for the saver program before its own.
const char kSaverDllOverrides[] = "Software\\Wine\\AppDefaults\\opengl.scr\\DllOverrides";

struct TwoHeadsCase {
    const char* name;
    DWORD resolution;
    bool switches;  // the primary is switched to 640 x 480
};

void PrintTo(const TwoHeadsCase& twoHeadsCase, std::ostream* out)
{
    *out << twoHeadsCase.name;
}

class TwoHeads : public ::testing::TestWithParam<TwoHeadsCase> {
protected:
    void SetUp() override
    {
        layout_ = MonitorRects();
        ASSERT_EQ(2u, layout_.size()) << RectsText(layout_);
        ASSERT_EQ("(0,0)-(800,600)", RectText(layout_[0]));
        // One step from the primary towards the second head.
        away_.x = layout_[1].left >= layout_[0].right ? 1 : layout_[1].right <= layout_[0].left ? -1 : 0;
        away_.y = away_.x == 0 ? 1 : 0;
        ForgetSettings();
        StoreSettings(GetParam().resolution, 0);
        folder_ = MakeSaverFolder(std::string("two-heads-") + GetParam().name);
        // The frame-capture library beside the saver keeps a frame every
        // quarter second for the checks of what each monitor shows.
        ASSERT_TRUE(CopyFileA((ProgramFolder() + "frame-capture\\opengl32.dll").c_str(),
                              (folder_ + "\\opengl32.dll").c_str(), FALSE));
        frames_ = folder_ + "\\frames";
        CreateDirectoryA(frames_.c_str(), nullptr);
        // The saver takes the opengl32.dll beside it before the system's.
        HKEY overrides = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kSaverDllOverrides, 0, nullptr, 0,
                                                 KEY_SET_VALUE, nullptr, &overrides, nullptr));
        RegSetValueExA(overrides, "opengl32", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>("native,builtin"), sizeof "native,builtin");
        RegCloseKey(overrides);
        capture_.emplace_back(new ScopedVariable("SAVER_CAPTURE_DIR", frames_));
        capture_.emplace_back(new ScopedVariable("SAVER_CAPTURE_INTERVAL_MS", "250"));
        capture_.emplace_back(new ScopedVariable("SAVER_CAPTURE_LIMIT", "1000"));
    }

    void TearDown() override { RegDeleteKeyA(HKEY_CURRENT_USER, kSaverDllOverrides); }

    // Why no GL child was found: the saver's box, or its exit code when it
    // has ended.
    std::string StartFault()
    {
        if (HWND box = FindMessageBox(session_.processId))
            return "the saver shows " + MessageBoxText(box);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(session_.process.process, &code);
        return code == STILL_ACTIVE ? "the saver still runs without its GL child"
                                    : "the saver ended with " + std::to_string(code);
    }

    // Lets the saver run for ms, checking every tenth of a second that it
    // covers every monitor; false, having said what showed, when it did not.
    bool CoveredWhileWatching(DWORD ms)
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
            WatchSaver(session_, 100);
            std::string uncovered = UncoveredMonitors(session_);
            if (!uncovered.empty()) {
                ADD_FAILURE() << uncovered;
                return false;
            }
        }
        return true;
    }

    // Moves the pointer by real input and waits until the system has it moved.
    void MovePointer(int dx, int dy)
    {
        POINT before = {}, now = {};
        GetCursorPos(&before);
        ASSERT_EQ(0u, Xdotool("mousemove_relative -- " + std::to_string(dx) + " " +
                              std::to_string(dy)));
        EXPECT_TRUE(WatchSaverUntil(session_, [&] {
            GetCursorPos(&now);
            return now.x != before.x || now.y != before.y;
        }, 5000)) << "the pointer did not move";
    }

    // The newest frame kept since the last one looked at, when it has the GL
    // child's present size; the frames before it are removed.
    bool NextFrame(KeptFrame* frame)
    {
        std::string list;
        RECT child = {};
        if (!ReadFileBytes(frames_ + "\\frames.txt", &list) || !GetClientRect(session_.glChild, &child))
            return false;
        // The last line: number, milliseconds, width, height.
        int number = -1, width = 0, height = 0;
        unsigned long ms = 0;
        size_t last = list.rfind('\n', list.size() > 1 ? list.size() - 2 : 0);
        sscanf(list.c_str() + (last == std::string::npos ? 0 : last + 1), "%d %lu %d %d", &number,
               &ms, &width, &height);
        if (number <= lastFrame_)
            return false;
        for (int old = std::max(lastFrame_, 0); old < number; ++old)
            DeleteFileA(FramePath(old).c_str());
        lastFrame_ = number;
        return width == child.right && height == child.bottom && frame->Read(FramePath(number));
    }

    std::string FramePath(int number) const
    {
        char name[32];
        sprintf(name, "\\frame-%04d.bmp", number);
        return frames_ + name;
    }

    // The layout's name: where the second head lies.
    const char* SideName() const { return away_.x > 0 ? "right" : away_.x < 0 ? "left" : "below"; }

    // Waits for a frame drawn from now on and checks that each monitor the
    // GL child lies on shows the whole scene, and that nothing is drawn where
    // no monitor shows the child. The frame is kept as picture, if named.
    void ExpectSceneOnEachMonitor(const char* picture = nullptr)
    {
        KeptFrame frame;
        NextFrame(&frame);
        ASSERT_TRUE(WatchSaverUntil(session_, [&] { return NextFrame(&frame); }, 10000))
            << "no frame of the GL child's size was kept";
        RECT child = {};
        GetWindowRect(session_.glChild, &child);
        long strayLit = 0;
        std::vector<RECT> parts;
        for (const RECT& monitor : MonitorRects()) {
            RECT part;
            if (IntersectRect(&part, &monitor, &child)) {
                OffsetRect(&part, -child.left, -child.top);
                parts.push_back(part);
            }
        }
        for (const RECT& part : parts)
            EXPECT_EQ("", SceneFault(frame, part)) << "GL child " << RectText(child) << ", monitors "
                                                   << RectsText(MonitorRects());
        for (int y = 0; y < frame.height; ++y)
            for (int x = 0; x < frame.width; ++x) {
                POINT at = {x, y};
                bool shown = false;
                for (const RECT& part : parts)
                    shown = shown || PtInRect(&part, at);
                strayLit += !shown && frame.IsLit(x, y);
            }
        EXPECT_EQ(0, strayLit) << "pixels drawn where no monitor shows the child";
        if (picture) {
            EXPECT_TRUE(CopyFileA(FramePath(lastFrame_).c_str(), TestOutputPath(picture).c_str(), FALSE));
        }
    }

    // Where the GL child lies: over the primary when the screen is switched,
    // else over the whole saver window.
    std::string ChildPlaceFault(const std::vector<RECT>& running)
    {
        RECT saver = {}, child = {};
        GetWindowRect(session_.saverWindow, &saver);
        GetWindowRect(session_.glChild, &child);
        const RECT& wanted = GetParam().switches ? running[0] : saver;
        if (EqualRect(&wanted, &child))
            return "";
        return "the GL child lies at " + RectText(child) + ", not " + RectText(wanted);
    }

    // Waits for the saver window to cover the screen as it is now, and checks
    // that the GL child spans it and each monitor stays covered and shows
    // its scene.
    void ExpectFollowsTheScreen(const char* when)
    {
        std::vector<RECT> running;
        RECT screen = {}, saver = {};
        EXPECT_TRUE(WatchSaverUntil(session_, [&] {
            running = MonitorRects();
            screen = ScreenOf(running);
            GetWindowRect(session_.saverWindow, &saver);
            return EqualRect(&screen, &saver) && ChildPlaceFault(running).empty();
        }, 10000)) << when << ": the saver window lies at " << RectText(saver) << ", monitors "
                   << RectsText(running) << "; " << ChildPlaceFault(running);
        ASSERT_TRUE(CoveredWhileWatching(1000)) << when;
        ExpectSceneOnEachMonitor();
    }

    // Sets a monitor's mode to the other of 800 x 600 and 640 x 480 (1024 x
    // 768 becomes 800 x 600) at its present place, as another program would;
    // its mode before in *before.
    void ChangeMonitorMode(const std::string& device, DEVMODEA* before)
    {
        *before = {};
        before->dmSize = sizeof *before;
        ASSERT_TRUE(EnumDisplaySettingsA(device.c_str(), ENUM_CURRENT_SETTINGS, before)) << device;
        ASSERT_TRUE(before->dmFields & DM_POSITION) << "no place given for " << device;
        DEVMODEA mode = *before;
        const bool at800 = mode.dmPelsWidth == 800;
        mode.dmPelsWidth = at800 ? 640 : 800;
        mode.dmPelsHeight = at800 ? 480 : 600;
        ASSERT_EQ(DISP_CHANGE_SUCCESSFUL,
                  ChangeDisplaySettingsExA(device.c_str(), &mode, nullptr, 0, nullptr)) << device;
    }

    // "" while the saver answers a message within 5 seconds, or once it has
    // ended with 0; else what it did.
    std::string HangFault()
    {
        DWORD_PTR result = 0;
        if (SendMessageTimeoutA(session_.saverWindow, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result))
            return "";
        if (WaitForSingleObject(session_.process.process, 5000) != WAIT_OBJECT_0)
            return "the saver does not answer";
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(session_.process.process, &code);
        return code == 0 ? "" : "the saver ended with " + std::to_string(code);
    }

    std::vector<RECT> layout_;
    POINT away_ = {1, 0};
    std::string folder_, frames_;
    std::vector<std::unique_ptr<ScopedVariable>> capture_;
    int lastFrame_ = -1;
    SaverSession session_;
};

TEST_P(TwoHeads, EveryMonitorShowsTheSceneUntilTravelOnTheSecondEndsIt)
{
    const RECT second = layout_[1];
    ASSERT_TRUE(PlacePointer({(second.left + second.right) / 2, (second.top + second.bottom) / 2}));
    session_ = StartSaver(folder_, "/s");
    ASSERT_TRUE(WaitForGlChild(session_, 30000)) << StartFault();
    ASSERT_TRUE(CoveredWhileWatching(1500));

    // The saver window is the whole screen; the scene on the primary when
    // switched, else on each monitor.
    std::vector<RECT> running = MonitorRects();
    ASSERT_EQ(2u, running.size()) << RectsText(running);
    RECT screen = ScreenOf(running), saver = {};
    GetWindowRect(session_.saverWindow, &saver);
    EXPECT_EQ(RectText(screen), RectText(saver));
    if (GetParam().switches)
        EXPECT_EQ("(0,0)-(640,480)", RectText(running[0])) << "the primary was not switched";
    else
        EXPECT_EQ(RectsText(layout_), RectsText(running)) << "the display was switched";
    EXPECT_EQ("", ChildPlaceFault(running));
    // The pointer may go wherever it could before the saver started.
    RECT clip = {};
    GetClipCursor(&clip);
    EXPECT_EQ(RectText(screen), RectText(clip)) << "the pointer is confined";
    ExpectSceneOnEachMonitor(GetParam().switches ? nullptr
                             : (std::string("window_two_heads_") + SideName() + ".bmp").c_str());

    // Travel onto or on the second monitor, away from the primary: 3 pixels
    // are not enough (Wine may have the pointer a pixel off where a switch
    // left it at the primary's edge), 3 more are.
    MovePointer(away_.x ? away_.x : 2, away_.y ? away_.y : 2);
    ASSERT_TRUE(CoveredWhileWatching(1000));
    ASSERT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(session_.process.process, 0))
        << "the saver ended on three pixels of travel";
    POINT pointer = {};
    GetCursorPos(&pointer);
    ASSERT_TRUE(PtInRect(&running[1], pointer))
        << "the pointer is not on the second monitor: " << pointer.x << "," << pointer.y;
    MovePointer(3 * away_.x, 3 * away_.y);
    EXPECT_EQ(0u, WaitForSaverExit(session_, 15000));
}

// The device name of the monitor at a rectangle: "\\.\DISPLAY2".
std::string MonitorDevice(const RECT& rect)
{
    MONITORINFOEXA info = {};
    info.cbSize = sizeof info;
    GetMonitorInfoA(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &info);
    return info.szDevice;
}

// Another program changes a monitor's mode while the saver runs, then puts
// it back: each time the saver covers the new screen, its GL child where it
// belongs and each monitor showing its scene, and it runs on until a key
// ends it with 0. Wine sets the modes by turning each monitor's output off
// and on, and the X server moves a pointer on an output turned off onto the
// nearest other: so the pointer rests at the seam, on the primary's edge
// beside the second monitor, where those moves stay within a pixel or two,
// and the monitor that changes is the one away from the X screen's corner,
// so that no monitor moves on the X screen.
class TwoHeadsChanged : public TwoHeads {};

TEST_P(TwoHeadsChanged, FollowsADisplayChangeByAnotherProgram)
{
    const RECT& primary = layout_[0];
    const std::string changing = MonitorDevice(layout_[away_.x < 0 ? 0 : 1]);
    ASSERT_TRUE(PlacePointer({away_.x > 0 ? primary.right - 1 : away_.x < 0 ? primary.left : 100,
                              away_.y > 0 ? primary.bottom - 1 : 100}));
    session_ = StartSaver(folder_, "/s");
    ASSERT_TRUE(WaitForGlChild(session_, 30000)) << StartFault();
    ASSERT_TRUE(CoveredWhileWatching(1000));

    DEVMODEA before;
    ASSERT_NO_FATAL_FAILURE(ChangeMonitorMode(changing, &before));
    ExpectFollowsTheScreen("after the change");
    ASSERT_EQ(DISP_CHANGE_SUCCESSFUL,
              ChangeDisplaySettingsExA(changing.c_str(), &before, nullptr, 0, nullptr)) << changing;
    ExpectFollowsTheScreen("after the monitor was put back");
    ASSERT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(session_.process.process, 0))
        << "the saver ended by itself";
    SendKey(VK_SPACE);
    EXPECT_EQ(0u, WaitForSaverExit(session_, 15000));
}

// At 640 x 480, another program changes the second monitor's mode. Wine
// then sets the primary to its stored mode, which undoes the saver's switch,
// and the X server may move the pointer from monitor to monitor, which the
// saver takes for travel; on the left layout the change moves the X screen's
// corner, and the saver's windows with it. However it goes, the saver answers
// messages and ends with 0 (by that travel, or on a key), and its end puts
// the primary back as it was.
class TwoHeadsSwitched : public TwoHeads {};

TEST_P(TwoHeadsSwitched, AnswersThroughAChangeByAnotherProgram)
{
    const std::string changing = MonitorDevice(layout_[1]);
    session_ = StartSaver(folder_, "/s");
    ASSERT_TRUE(WaitForGlChild(session_, 30000)) << StartFault();
    ASSERT_TRUE(CoveredWhileWatching(1000));
    DEVMODEA before;
    ASSERT_NO_FATAL_FAILURE(ChangeMonitorMode(changing, &before));
    ASSERT_EQ("", HangFault()) << "after the change";
    if (WaitForSingleObject(session_.process.process, 0) == WAIT_TIMEOUT)
        SendKey(VK_SPACE);
    EXPECT_EQ(0u, WaitForSaverExit(session_, 15000));
    // The saver undid its switch: the primary as it was. The second monitor
    // is the other program's to put back.
    std::vector<RECT> after;
    EXPECT_TRUE(WatchSaverUntil(session_, [&] {
        after = MonitorRects();
        return !after.empty() && EqualRect(&after[0], &layout_[0]);
    }, 10000)) << RectsText(after);
    EXPECT_EQ(DISP_CHANGE_SUCCESSFUL,
              ChangeDisplaySettingsExA(changing.c_str(), nullptr, nullptr, 0, nullptr));
}

// A case's name in the test's name.
std::string CaseName(const ::testing::TestParamInfo<TwoHeadsCase>& info)
{
    return info.param.name;
}

const TwoHeadsCase kTwoHeadsCases[] = {
    {"DesktopRes", 1012, false},
    {"At640x480", 1013, true},
};

INSTANTIATE_TEST_SUITE_P(Resolution, TwoHeads, ::testing::ValuesIn(kTwoHeadsCases),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(Resolution, TwoHeadsChanged, ::testing::Values(kTwoHeadsCases[0]),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(Resolution, TwoHeadsSwitched, ::testing::Values(kTwoHeadsCases[1]),
                         CaseName);

}  // namespace
