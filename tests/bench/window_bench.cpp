// Frame rate, CPU time, start-up time and memory of the running saver against
// an empty window driven the same way. Each run is one process:
//   window_bench saver RESOLUTION SECONDS INTERVAL self|key
//     runs the saver's full-screen mode from the product's own libraries
//     (resolution "desktop" or "640", or "spanning": the desktop size as a
//     system without the monitor functions draws it, one scene spanning every
//     monitor); frames are counted at the buffer swap.
//     "self" closes it after SECONDS; "key" prints "waiting for a key" then and
//     lets input close it (for the soak run). Every INTERVAL seconds (0: never)
//     a line with the working set, GDI objects, handles and windows.
//   window_bench empty WIDTH HEIGHT SECONDS
//     a top-level window of that size, a zero-period timer that invalidates
//     it, and a paint that clears and swaps. When the size is not the
//     screen's, the window switches the display to it at 16 bits as the saver
//     does: through DirectDraw first, else through the display settings.
// Both print "result frames=... fps=... cpu_us_per_frame=... startup_ms=...
// ddraw_create_ms=... pictures_ms=... paint_ms=... peak_ws_kib=...": start-up
// is from the process's creation to the first swap; of it, ddraw_create_ms
// went into DirectDrawCreate; pictures_ms and paint_ms are the process's age
// when the first picture file was opened and when the first paint began (0
// when none).
#include <windows.h>
#include <GL/gl.h>
#include <ddraw.h>
#include <psapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>

#include "import_hook.h"
#include "resource_counts.h"
#include "saver_entry.h"
#include "saver_state.h"

namespace {

const UINT_PTR kFrameTimer = 1;

// What one run measures.
struct BenchState {
    double seconds;           // how long to count frames
    double interval;          // seconds between samples, 0 for none
    bool closeSelf;           // close after `seconds`, else wait for input
    long long frames;         // swaps since the first
    double firstFrame;        // performance-counter seconds of the first swap
    double nextSample;
    bool done;                // counting over
    double startupMs;
    ULONGLONG cpuAtFirst;     // process CPU (100 ns) at the first swap
    ULONGLONG cpuAtEnd;
    double wallAtEnd;
    long long framesAtEnd;
    HWND closeWindow;         // window that gets WM_CLOSE when counting is over
    double directDrawMs;      // spent in DirectDrawCreate
    double picturesMs;        // process age at the first picture file opened
    double paintMs;           // process age at the first paint
};
BenchState bench;

typedef BOOL(WINAPI* SwapProc)(HDC);
SwapProc realSwapBuffers = SwapBuffers;
typedef HRESULT(WINAPI* DirectDrawCreateProc)(GUID*, LPDIRECTDRAW*, IUnknown*);
DirectDrawCreateProc realDirectDrawCreate = DirectDrawCreate;
typedef HANDLE(WINAPI* CreateFileProc)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                                       HANDLE);
CreateFileProc realCreateFileA = CreateFileA;
typedef HDC(WINAPI* BeginPaintProc)(HWND, LPPAINTSTRUCT);
BeginPaintProc realBeginPaint = BeginPaint;

// Seconds on the performance counter.
double Now()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return double(count.QuadPart) / double(frequency.QuadPart);
}

ULONGLONG FileTimeValue(const FILETIME& time)
{
    ULARGE_INTEGER value = {{time.dwLowDateTime, time.dwHighDateTime}};
    return value.QuadPart;
}

// User and kernel time of the whole process, in 100 ns units.
ULONGLONG ProcessCpu()
{
    FILETIME creation, exit, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user);
    return FileTimeValue(kernel) + FileTimeValue(user);
}

// Milliseconds from this process's creation to now.
double MsSinceCreation()
{
    FILETIME creation, exit, kernel, user, now;
    GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user);
    GetSystemTimeAsFileTime(&now);
    return double(FileTimeValue(now) - FileTimeValue(creation)) / 1e4;
}

PROCESS_MEMORY_COUNTERS MemoryCounters()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

BOOL CALLBACK CountWindow(HWND window, LPARAM count)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) {
        ++*reinterpret_cast<int*>(count);
        EnumChildWindows(window, CountWindow, count);
    }
    return TRUE;
}

// Windows of this process, top-level and child: the USER objects that can
// be counted under Wine.
int CountOwnWindows()
{
    int count = 0;
    EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

// One line of the process's resources.
void PrintSample(double now)
{
    const ResourceCounts counts = CountResources();
    printf("sample t=%.0f frames=%lld ws_kib=%lu gdi=%d handles=%d views=%d windows=%d\n",
           now - bench.firstFrame, bench.frames,
           static_cast<unsigned long>(MemoryCounters().WorkingSetSize / 1024), counts.gdiObjects,
           counts.handles, counts.mappedViews, CountOwnWindows());
    fflush(stdout);
}

// Every frame's swap, counted: the first one fixes the start, the one
// after the counting time ends it.
BOOL WINAPI CountedSwapBuffers(HDC dc)
{
    const BOOL swapped = realSwapBuffers(dc);
    const double now = Now();
    if (bench.frames++ == 0) {
        bench.startupMs = MsSinceCreation();
        bench.firstFrame = now;
        bench.nextSample = now + bench.interval;
        bench.cpuAtFirst = ProcessCpu();
        return swapped;
    }
    if (bench.interval > 0 && now >= bench.nextSample) {
        PrintSample(now);
        bench.nextSample += bench.interval;
    }
    if (!bench.done && now - bench.firstFrame >= bench.seconds) {
        bench.done = true;
        bench.cpuAtEnd = ProcessCpu();
        bench.wallAtEnd = now - bench.firstFrame;
        bench.framesAtEnd = bench.frames - 1;
        if (bench.closeSelf) {
            PostMessageA(bench.closeWindow ? bench.closeWindow : saverState.saverWindow, WM_CLOSE, 0, 0);
        } else {
            printf("waiting for a key\n");
            fflush(stdout);
        }
    }
    return swapped;
}

// DirectDrawCreate, timed.
HRESULT WINAPI TimedDirectDrawCreate(GUID* device, LPDIRECTDRAW* directDraw, IUnknown* outer)
{
    const double start = Now();
    const HRESULT result = realDirectDrawCreate(device, directDraw, outer);
    bench.directDrawMs += 1e3 * (Now() - start);
    return result;
}

// CreateFileA, noting when the first picture file is opened.
HANDLE WINAPI NotedCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD flags, HANDLE templateFile)
{
    if (!bench.picturesMs && name && strstr(name, ".bmp"))
        bench.picturesMs = MsSinceCreation();
    return realCreateFileA(name, access, share, security, disposition, flags, templateFile);
}

// BeginPaint, noting when the first paint begins.
HDC WINAPI NotedBeginPaint(HWND window, LPPAINTSTRUCT paint)
{
    if (!bench.paintMs)
        bench.paintMs = MsSinceCreation();
    return realBeginPaint(window, paint);
}

// The run's figures, measured over the frames after the first.
void PrintResult()
{
    if (!bench.done) {
        printf("result incomplete frames=%lld\n", bench.frames);
        return;
    }
    printf("result frames=%lld seconds=%.2f fps=%.1f cpu_us_per_frame=%.0f startup_ms=%.0f "
           "ddraw_create_ms=%.0f pictures_ms=%.0f paint_ms=%.0f peak_ws_kib=%lu\n",
           bench.framesAtEnd, bench.wallAtEnd, bench.framesAtEnd / bench.wallAtEnd,
           double(bench.cpuAtEnd - bench.cpuAtFirst) / 10.0 / double(bench.framesAtEnd),
           bench.startupMs, bench.directDrawMs, bench.picturesMs, bench.paintMs,
           static_cast<unsigned long>(MemoryCounters().PeakWorkingSetSize / 1024));
}

// Stores the resolution choice the saver reads at start.
void StoreResolution(DWORD resolution)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\OpenGLScreenSaver", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, "resolution", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&resolution),
                   sizeof resolution);
    RegCloseKey(key);
}

// The saver's full-screen mode, as opengl.scr /s runs it.
typedef FARPROC(WINAPI* GetProcAddressProc)(HMODULE, LPCSTR);
GetProcAddressProc realGetProcAddress;

// GetProcAddress as Windows 95 and NT 4 answer it for the monitor functions.
FARPROC WINAPI GetProcAddressWithoutMonitors(HMODULE module, LPCSTR name)
{
    if (HIWORD(reinterpret_cast<UINT_PTR>(name)) &&
        (strcmp(name, "EnumDisplayMonitors") == 0 || strcmp(name, "GetMonitorInfoA") == 0))
        return nullptr;
    return realGetProcAddress(module, name);
}

int RunSaver(const char* resolution)
{
    StoreResolution(strcmp(resolution, "640") == 0 ? 1013 : 1012);
    std::unique_ptr<ImportHook> getProcAddress;
    if (strcmp(resolution, "spanning") == 0) {
        getProcAddress.reset(new ImportHook("kernel32.dll", "GetProcAddress",
                                            reinterpret_cast<void*>(GetProcAddressWithoutMonitors)));
        realGetProcAddress = reinterpret_cast<GetProcAddressProc>(getProcAddress->original());
        if (!realGetProcAddress) {
            printf("GetProcAddress is not imported; the monitor functions cannot be hidden\n");
            return 1;
        }
    }
    ImportHook swap("gdi32.dll", "SwapBuffers", reinterpret_cast<void*>(CountedSwapBuffers));
    if (!swap.original()) {
        printf("SwapBuffers is not imported; frames cannot be counted\n");
        return 1;
    }
    realSwapBuffers = reinterpret_cast<SwapProc>(swap.original());
    ImportHook directDraw("ddraw.dll", "DirectDrawCreate",
                          reinterpret_cast<void*>(TimedDirectDrawCreate));
    if (directDraw.original())
        realDirectDrawCreate = reinterpret_cast<DirectDrawCreateProc>(directDraw.original());
    ImportHook createFile("kernel32.dll", "CreateFileA", reinterpret_cast<void*>(NotedCreateFileA));
    if (createFile.original())
        realCreateFileA = reinterpret_cast<CreateFileProc>(createFile.original());
    ImportHook beginPaint("user32.dll", "BeginPaint", reinterpret_cast<void*>(NotedBeginPaint));
    if (beginPaint.original())
        realBeginPaint = reinterpret_cast<BeginPaintProc>(beginPaint.original());
    const int result = SaverDispatch(GetModuleHandleA(nullptr), nullptr, "/s", SW_SHOWNORMAL);
    PrintResult();
    printf("exit=%d\n", result);
    return result;
}

// The empty window's record.
struct EmptyWindow {
    HDC dc;
    HGLRC context;
    int width, height;       // the display's size while it runs
    LPDIRECTDRAW directDraw;  // holds the mode when DirectDraw switched it
    bool switched;            // switched through the display settings
};
EmptyWindow empty;

const PIXELFORMATDESCRIPTOR kPixelFormat = {
    sizeof(PIXELFORMATDESCRIPTOR), 1,
    PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER,
    PFD_TYPE_RGBA, 24,
    0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0,
    16, 0, 0,
    PFD_MAIN_PLANE, 0, 0, 0, 0,
};

// Switches the display to the window's size at 16 bits as the saver does:
// DirectDraw first, with the window as the cooperative one, else the
// display settings.
void SwitchDisplay(HWND window)
{
    if (TimedDirectDrawCreate(nullptr, &empty.directDraw, nullptr) == DD_OK) {
        if (empty.directDraw->SetCooperativeLevel(window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE) == DD_OK &&
            empty.directDraw->SetDisplayMode(empty.width, empty.height, 16) == DD_OK)
            return;
        empty.directDraw->Release();
        empty.directDraw = nullptr;
    }
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = empty.width;
    mode.dmPelsHeight = empty.height;
    mode.dmBitsPerPel = 16;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
    empty.switched = ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
    if (!empty.switched)
        printf("warning: the display stays at %d x %d\n", GetSystemMetrics(SM_CXSCREEN),
               GetSystemMetrics(SM_CYSCREEN));
}

// Puts the display back in the mode it had.
void RestoreDisplay()
{
    if (empty.directDraw) {
        empty.directDraw->RestoreDisplayMode();
        empty.directDraw->Release();
    }
    if (empty.switched)
        ChangeDisplaySettingsA(nullptr, 0);
}

// The empty window: the GL window's timer and paint with nothing drawn.
LRESULT CALLBACK EmptyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        if (empty.width != GetSystemMetrics(SM_CXSCREEN) ||
            empty.height != GetSystemMetrics(SM_CYSCREEN))
            SwitchDisplay(window);
        empty.dc = GetDC(window);
        const int format = ChoosePixelFormat(empty.dc, &kPixelFormat);
        SetPixelFormat(empty.dc, format, &kPixelFormat);
        empty.context = wglCreateContext(empty.dc);
        wglMakeCurrent(empty.dc, empty.context);
        SetTimer(window, kFrameTimer, 0, nullptr);
        return 0;
    }
    case WM_TIMER:
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        NotedBeginPaint(window, &paint);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        CountedSwapBuffers(empty.dc);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        KillTimer(window, kFrameTimer);
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(empty.context);
        ReleaseDC(window, empty.dc);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int RunEmptyWindow(int width, int height)
{
    empty.width = width;
    empty.height = height;
    WNDCLASSA windowClass = {};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = EmptyWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "EmptyBenchWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "EmptyBenchWindow", "Empty", WS_POPUP | WS_VISIBLE,
                                  0, 0, width, height, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window) {
        printf("no window\n");
        return 1;
    }
    bench.closeWindow = window;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    RestoreDisplay();
    PrintResult();
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 6 && strcmp(argv[1], "saver") == 0) {
        bench.seconds = atof(argv[3]);
        bench.interval = atof(argv[4]);
        bench.closeSelf = strcmp(argv[5], "self") == 0;
        return RunSaver(argv[2]);
    }
    if (argc == 5 && strcmp(argv[1], "empty") == 0) {
        bench.seconds = atof(argv[4]);
        bench.closeSelf = true;
        return RunEmptyWindow(atoi(argv[2]), atoi(argv[3]));
    }
    printf("usage: window_bench saver desktop|640 SECONDS INTERVAL self|key\n"
           "       window_bench empty WIDTH HEIGHT SECONDS\n");
    return 2;
}
