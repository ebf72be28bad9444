// How fast the saver draws full screen at 1024 x 768, against a window that
// only clears and swaps on the same zero-period timer (top-level, and as a
// child window like the saver's), all with the saver's pixel format; and
// how long the built saver takes from its start to its first frame (the
// recording driver stamps its swaps with the process's age). Prints its
// results; fails only when it cannot set up.
//   ctest -L benchmark -V
#include <windows.h>
#include <GL/gl.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "import_hook.h"
#include "render_window.h"
#include "saver_process.h"
#include "saver_state.h"
#include "saver_window.h"

namespace {

const int kWidth = 1024;
const int kHeight = 768;
const DWORD kWarmUpMs = 1000;
const DWORD kMeasureMs = 5000;

// Frames counted on one window: the ticks of the first and last counted.
struct FrameCount {
    DWORD start = 0;      // when the warm-up began
    DWORD first = 0, last = 0;
    int frames = 0;
    double firstFrameAge = 0;  // this process's age at the first frame, ms

    // Notes one frame; true when the measured time is over.
    bool Add()
    {
        DWORD now = GetTickCount();
        if (!start) {
            start = now;
            firstFrameAge = ProcessAge(GetCurrentProcess());
        }
        if (now - start < kWarmUpMs)
            return false;
        if (!frames)
            first = now;
        last = now;
        ++frames;
        return now - first >= kMeasureMs;
    }
    double PerSecond() const { return frames > 1 ? (frames - 1) * 1000.0 / (last - first) : 0.0; }
};

FrameCount saverFrames;
BOOL(WINAPI* platformSwap)(HDC);

// The saver's swaps, counted; closes the saver when the time is over.
BOOL WINAPI CountingSwapBuffers(HDC dc)
{
    if (saverFrames.Add())
        PostMessageA(saverState.saverWindow, WM_CLOSE, 0, 0);
    return platformSwap(dc);
}

// The saver's pixel-format request: double-buffered RGBA, 24 colour bits,
// 16 depth bits.
PIXELFORMATDESCRIPTOR SaverFormat()
{
    PIXELFORMATDESCRIPTOR format = {};
    format.nSize = sizeof format;
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = 24;
    format.cDepthBits = 16;
    return format;
}

// The clear-and-swap window's state.
struct ClearWindow {
    HDC dc;
    HGLRC context;
    FrameCount count;
    bool done;
} clearWindow;

// Clear-and-swap window: a zero-period timer invalidates, each paint clears
// and swaps, as the saver's GL child does with its frame.
LRESULT CALLBACK ClearWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        clearWindow.dc = GetDC(window);
        PIXELFORMATDESCRIPTOR format = SaverFormat();
        SetPixelFormat(clearWindow.dc, ChoosePixelFormat(clearWindow.dc, &format), &format);
        clearWindow.context = wglCreateContext(clearWindow.dc);
        wglMakeCurrent(clearWindow.dc, clearWindow.context);
        SetTimer(window, 1, 0, nullptr);
        return 0;
    }
    case WM_TIMER:
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        SwapBuffers(clearWindow.dc);
        EndPaint(window, &paint);
        if (clearWindow.count.Add())
            clearWindow.done = true;
        return 0;
    }
    case WM_DESTROY:
        KillTimer(window, 1);
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(clearWindow.context);
        ReleaseDC(window, clearWindow.dc);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Frames per second of the clear-and-swap window, top-level or as the
// child of a top-level window, both covering the screen.
double ClearAndSwapRate(bool asChild)
{
    static bool registered;
    if (!registered) {
        WNDCLASSA windowClass = {};
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
        windowClass.lpfnWndProc = ClearWindowProc;
        windowClass.lpszClassName = "ClearAndSwap";
        RegisterClassA(&windowClass);
        windowClass.style = 0;
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        windowClass.lpszClassName = "ClearAndSwapParent";
        RegisterClassA(&windowClass);
        registered = true;
    }
    clearWindow = ClearWindow();
    HWND top = CreateWindowExA(WS_EX_TOPMOST, asChild ? "ClearAndSwapParent" : "ClearAndSwap", "",
                               WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, kWidth, kHeight,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (asChild)
        CreateWindowExA(0, "ClearAndSwap", "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                        kWidth, kHeight, top, nullptr, GetModuleHandleA(nullptr), nullptr);
    MSG message;
    while (!clearWindow.done && GetMessageA(&message, nullptr, 0, 0))
        DispatchMessageA(&message);
    DestroyWindow(top);
    return clearWindow.count.PerSecond();
}

// The built saver with the recording driver: its age at the first frame
// and its frames per second after the warm-up, from the driver's stamps.
void TimeBuiltSaver()
{
    ForgetSettings();
    std::string folder =
        MakeSaverFolder("benchmark", {"pvrhal\\pvrhal32.dll", "gl-recorder\\pvrgl.dll"});
    std::string recorder = folder + "\\recorder.txt";
    DeleteFileA(recorder.c_str());
    ScopedVariable recorderFile("GL_RECORDER_FILE", recorder);
    SaverSession session = StartSaver(folder, "/s");
    if (!WaitForGlChild(session, 30000)) {
        printf("the built saver did not start\n");
        return;
    }
    WatchSaver(session, kWarmUpMs + kMeasureMs + 500);
    DWORD exitCode = CloseSaver(session);
    std::vector<RecordedLine> swaps =
        LinesStartingWith(ReadRecorderFile(recorder), "wglSwapBuffers(");
    if (swaps.size() < 2) {
        printf("the built saver drew %u frames\n", static_cast<unsigned>(swaps.size()));
        return;
    }
    size_t from = 0;
    while (from < swaps.size() && swaps[from].ms < swaps[0].ms + kWarmUpMs)
        ++from;
    double rate = from + 1 < swaps.size()
                      ? (swaps.size() - 1 - from) * 1000.0 / (swaps.back().ms - swaps[from].ms)
                      : 0.0;
    printf("built opengl.scr /s, recording driver (PowerVR doubles), exit code %lu:\n",
           static_cast<unsigned long>(exitCode));
    printf("  first frame %.0f ms after the process was created\n", swaps[0].ms);
    printf("  %.1f frames/s after the first second (%u frames in all)\n", rate,
           static_cast<unsigned>(swaps.size()));
}

}  // namespace

int main()
{
    // The saver's own code first, so that its first frame is timed from
    // this process's start as the built saver's would be.
    ForgetSettings();
    saverState.instance = GetModuleHandleA(nullptr);
    ImportHook swap("gdi32.dll", "SwapBuffers", reinterpret_cast<void*>(CountingSwapBuffers));
    platformSwap = reinterpret_cast<BOOL(WINAPI*)(HDC)>(swap.original());
    if (!platformSwap) {
        printf("SwapBuffers is not imported by this program\n");
        return 1;
    }
    int result = RunSaverWindow(nullptr);
    if (result != 0 || renderWindow.childWidth != kWidth || !saverFrames.frames) {
        printf("the saver window did not run at %d x %d (result %d, child %d x %d)\n", kWidth,
               kHeight, result, renderWindow.childWidth, renderWindow.childHeight);
        return 1;
    }
    const double saverRate = saverFrames.PerSecond();
    const double topLevelRate = ClearAndSwapRate(false);
    const double childRate = ClearAndSwapRate(true);

    printf("%d x %d, zero-period timer, %lu ms measured after %lu ms warm-up:\n", kWidth, kHeight,
           static_cast<unsigned long>(kMeasureMs), static_cast<unsigned long>(kWarmUpMs));
    printf("  saver (render window code in this process): %7.1f frames/s, first frame %.0f ms"
           " after process start\n", saverRate, saverFrames.firstFrameAge);
    printf("  clear + swap, top-level window:             %7.1f frames/s\n", topLevelRate);
    printf("  clear + swap, child window:                 %7.1f frames/s\n", childRate);
    printf("  saver / clear-and-swap child:               %7.3f\n", saverRate / childRate);
    TimeBuiltSaver();
    return 0;
}
