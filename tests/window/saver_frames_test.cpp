// Frames of the saver as its render window draws them: the framework's
// saver window, the hook and the GL child window run inside this test, and
// each frame is read back from the child's back buffer just before the
// buffers are swapped (this program's import of SwapBuffers is redirected).
// Wine under Xvfb shows nothing of OpenGL drawn in a child window on the X
// screen, so this read-back is how the saver's picture is seen; some frames
// are kept as pictures in the test output folder. One case per process:
// the render window measures its saver window once per process.
#include <gtest/gtest.h>
#include <GL/gl.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "import_hook.h"
#include "render_window.h"
#include "saver_process.h"
#include "saver_state.h"
#include "saver_window.h"
#include "test_paths.h"

namespace {

// The projection every frame sets: near and far planes.
const double kNear = 0.1f;
const double kFar = 100.0;
// The model sits 65 in front of the eye, the sky layers 82 and more.
const double kModelFarthest = 75.0;

// One frame read back: colour rows bottom-up (red, green, blue) and the
// eye distance of what each pixel shows.
struct Frame {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    std::vector<double> distance;
};

// What the swaps of a run showed.
struct FrameRecord {
    std::vector<int> captureAt;   // frame numbers (from 1) to read back
    int closeAfter = 0;           // the test closes the saver after this frame
    std::vector<Frame> frames;
    std::vector<DWORD> swapTicks;
    int depthBits = -1;           // of the pixel format set on the child's DC
    ScreenMode screen;            // the display mode at the first frame
    HWND swappedWindow = nullptr;
    BOOL(WINAPI* swap)(HDC) = nullptr;  // the platform's SwapBuffers
};
FrameRecord record;

// Reads the back buffer of the current context, size of the GL child.
Frame ReadFrame(HWND child)
{
    RECT client;
    GetClientRect(child, &client);
    Frame frame;
    frame.width = client.right;
    frame.height = client.bottom;
    frame.rgb.resize(frame.width * frame.height * 3);
    std::vector<float> depth(frame.width * frame.height);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, frame.width, frame.height, GL_RGB, GL_UNSIGNED_BYTE, frame.rgb.data());
    glReadPixels(0, 0, frame.width, frame.height, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    for (float d : depth) {
        const double ndc = 2.0 * d - 1.0;
        frame.distance.push_back(2.0 * kFar * kNear / ((kFar + kNear) - (kFar - kNear) * ndc));
    }
    return frame;
}

// Stands in for SwapBuffers in this program: notes the frame, reads back
// the chosen ones, closes the saver when enough were drawn, then swaps.
BOOL WINAPI RecordingSwapBuffers(HDC dc)
{
    record.swapTicks.push_back(GetTickCount());
    const int number = static_cast<int>(record.swapTicks.size());
    HWND child = WindowFromDC(dc);
    if (number == 1) {
        PIXELFORMATDESCRIPTOR format = {};
        DescribePixelFormat(dc, GetPixelFormat(dc), sizeof format, &format);
        record.depthBits = format.cDepthBits;
        record.screen = CurrentScreenMode();
        record.swappedWindow = child;
    }
    for (int at : record.captureAt)
        if (at == number)
            record.frames.push_back(ReadFrame(child));
    if (number == record.closeAfter)
        PostMessageA(saverState.saverWindow, WM_CLOSE, 0, 0);
    return record.swap(dc);
}

// Runs the saver window (full screen with a null parent) until the frames
// are drawn, however long that takes under load (a run that never gets
// there ends at the harness's time limit); returns what RunSaverWindow
// returned.
int RunSaver(HWND parent, std::vector<int> captureAt, int closeAfter)
{
    record = FrameRecord();
    record.captureAt = captureAt;
    record.closeAfter = closeAfter;
    saverState.instance = GetModuleHandleA(nullptr);
    ImportHook swap("gdi32.dll", "SwapBuffers", reinterpret_cast<void*>(RecordingSwapBuffers));
    record.swap = reinterpret_cast<BOOL(WINAPI*)(HDC)>(swap.original());
    EXPECT_TRUE(record.swap) << "SwapBuffers is not imported by this program";
    return RunSaverWindow(parent);
}

// Writes a frame as a 24-bit BMP file in the test output folder.
void KeepFrame(const Frame& frame, const std::string& name)
{
    const int rowSize = (frame.width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + rowSize * frame.height;
    info.biSize = sizeof info;
    info.biWidth = frame.width;
    info.biHeight = frame.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    FILE* out = fopen(TestOutputPath(name + ".bmp").c_str(), "wb");
    ASSERT_TRUE(out);
    fwrite(&file, sizeof file, 1, out);
    fwrite(&info, sizeof info, 1, out);
    std::vector<unsigned char> row(rowSize);
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            const unsigned char* rgb = &frame.rgb[(y * frame.width + x) * 3];
            row[x * 3] = rgb[2];
            row[x * 3 + 1] = rgb[1];
            row[x * 3 + 2] = rgb[0];
        }
        fwrite(row.data(), rowSize, 1, out);
    }
    EXPECT_EQ(0, fclose(out));
}

// Share of pixels whose colour differs by more than a little between two frames.
double ChangedShare(const Frame& a, const Frame& b)
{
    int changed = 0;
    for (size_t i = 0; i + 2 < a.rgb.size(); i += 3) {
        int difference = abs(a.rgb[i] - b.rgb[i]) + abs(a.rgb[i + 1] - b.rgb[i + 1]) +
                         abs(a.rgb[i + 2] - b.rgb[i + 2]);
        changed += difference > 24;
    }
    return double(changed) / (a.width * a.height);
}

// Where the model is in a frame: the share of pixels nearer than the sky
// and the centre of those pixels as a share of the width and height.
struct ModelArea {
    double share = 0, x = 0, y = 0;
};

ModelArea FindModel(const Frame& frame)
{
    ModelArea area;
    int count = 0;
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x)
            if (frame.distance[y * frame.width + x] < kModelFarthest) {
                ++count;
                area.x += x;
                area.y += y;
            }
    if (count) {
        area.x /= count * double(frame.width);
        area.y /= count * double(frame.height);
    }
    area.share = double(count) / (frame.width * frame.height);
    return area;
}

// Share of the pixels beyond the model that the sky layers lit: not the
// black of the clear colour.
double SkyLitShare(const Frame& frame)
{
    int sky = 0, lit = 0;
    for (int i = 0; i < frame.width * frame.height; ++i) {
        if (frame.distance[i] < kModelFarthest)
            continue;
        ++sky;
        lit += frame.rgb[i * 3] + frame.rgb[i * 3 + 1] + frame.rgb[i * 3 + 2] > 30;
    }
    return sky ? double(lit) / sky : 0.0;
}

// The checks every drawn frame pair passes: the picture moves, the model
// stands in front of the sky (nearer in the depth buffer) in the middle of
// the picture, and the sky lights much of the rest.
void ExpectScene(const Frame& early, const Frame& late, int width, int height)
{
    ASSERT_EQ(width, late.width);
    ASSERT_EQ(height, late.height);
    EXPECT_GT(ChangedShare(early, late), 0.05);
    for (const Frame* frame : {&early, &late}) {
        ModelArea model = FindModel(*frame);
        EXPECT_GT(model.share, 0.01);
        EXPECT_LT(model.share, 0.5);
        EXPECT_NEAR(0.5, model.x, 0.15);
        EXPECT_NEAR(0.5, model.y, 0.2);
        EXPECT_GT(SkyLitShare(*frame), 0.1);
        printf("model %.1f%% of the picture, centred at %.2f, %.2f; sky %.1f%% lit\n",
               100 * model.share, model.x, model.y, 100 * SkyLitShare(*frame));
    }
    printf("%.1f%% of the pixels changed\n", 100 * ChangedShare(early, late));
}

TEST(SaverFrames, FullScreenAt1024x768)
{
    ForgetSettings();
    ASSERT_EQ(0, RunSaver(nullptr, {10, 70}, 80));
    EXPECT_EQ(1024, renderWindow.childWidth);
    EXPECT_EQ(768, renderWindow.childHeight);
    EXPECT_EQ(renderWindow.childWindow, record.swappedWindow);
    EXPECT_GE(record.depthBits, 16);
    ASSERT_EQ(2u, record.frames.size());
    ExpectScene(record.frames[0], record.frames[1], 1024, 768);
    KeepFrame(record.frames[1], "window_fullscreen_1024x768");
}

TEST(SaverFrames, SwitchedTo640x480)
{
    ForgetSettings();
    StoreSettings(1013, 0);
    ScreenMode desktop = CurrentScreenMode();
    ASSERT_EQ(0, RunSaver(nullptr, {10, 70}, 80));
    EXPECT_EQ(640u, record.screen.width);
    EXPECT_EQ(480u, record.screen.height);
    EXPECT_EQ(16u, record.screen.bitsPerPixel);
    EXPECT_TRUE(CurrentScreenMode() == desktop) << ModeText(CurrentScreenMode());
    EXPECT_GE(record.depthBits, 16);
    ASSERT_EQ(2u, record.frames.size());
    ExpectScene(record.frames[0], record.frames[1], 640, 480);
    KeepFrame(record.frames[1], "window_switched_640x480");
}

TEST(SaverFrames, PreviewIn152x112)
{
    ForgetSettings();
    StoreSettings(1014, 0);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "PreviewArea";
    RegisterClassA(&windowClass);
    HWND parent = CreateWindowExA(0, "PreviewArea", "Preview area", WS_POPUP | WS_VISIBLE, 100, 100,
                                  152, 112, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(parent);
    ScreenMode desktop = CurrentScreenMode();
    ASSERT_EQ(0, RunSaver(parent, {10, 70}, 80));
    DestroyWindow(parent);
    EXPECT_EQ(152, renderWindow.childWidth);
    EXPECT_EQ(112, renderWindow.childHeight);
    EXPECT_STREQ("opengl32.dll", renderWindow.driverName);
    EXPECT_TRUE(record.screen == desktop) << ModeText(record.screen);
    ASSERT_EQ(2u, record.frames.size());
    ExpectScene(record.frames[0], record.frames[1], 152, 112);
    KeepFrame(record.frames[1], "window_preview_152x112");
}

}  // namespace
