#include "render_window.h"

#include <stdio.h>
#include <string.h>

#include "display_mode.h"
#include "display_power.h"
#include "gl_driver.h"
#include "monitor_views.h"
#include "saver_state.h"
#include "saver_window.h"
#include "scene_frame.h"
#include "scene_lighting.h"
#include "settings.h"

RenderWindowState renderWindow;

namespace {

const char kChildClassName[] = "OpenGL ScreenSaver";
const UINT_PTR kFrameTimer = 101;

// Resolution choices, as the configuration dialog's button ids.
const DWORD kDesktopResolution = 1012;
const DWORD k640x480Resolution = 1013;
const DWORD k800x600Resolution = 1014;

// The pixel format asked for; replaced by the description of the format set.
// A depth buffer is asked for, so the model hides the sky where it is nearer.
PIXELFORMATDESCRIPTOR requestedPixelFormat = {
    sizeof(PIXELFORMATDESCRIPTOR), 1,
    PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER,
    PFD_TYPE_RGBA, 24,
    0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0,
    16, 0, 0,
    PFD_MAIN_PLANE, 0, 0, 0, 0,
};

// Shows one of the render window's failure boxes.
void ReportWindowFailure(const char* text)
{
    MessageBoxA(nullptr, text, "OpenGL ScreenSaver", MB_ICONHAND);
}

// Registers the GL child window's class.
void RegisterChildClass()
{
    WNDCLASSA windowClass = {};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = GlChildWindowProc;
    windowClass.hInstance = saverState.instance;
    windowClass.lpszClassName = kChildClassName;
    if (!RegisterClassA(&windowClass))
        ReportWindowFailure("Couldn't Register Window Class");
}

// Measures the saver window once and notes a preview-sized one.
void MeasureParent(HWND saverWindow)
{
    if (renderWindow.parentWidth == 0) {
        RECT client;
        GetClientRect(saverWindow, &client);
        renderWindow.parentWidth = client.right;
        renderWindow.parentHeight = client.bottom;
    }
    if (renderWindow.parentWidth < 640)
        renderWindow.narrowParent = 1;
}

// Names the driver library: the system's own unless the probe may run.
void ChooseDriver()
{
    strcpy(renderWindow.driverName, "opengl32.dll");
    if (!renderWindow.narrowParent && !saverSettings.usedefault)
        ChooseDriverLibrary(renderWindow.driverName);
}

// Fixes the child's size from the resolution setting. A resolution the
// dialog cannot store counts as the desktop size.
void FixChildSize()
{
    DWORD& resolution = saverSettings.resolution;
    if (renderWindow.narrowParent ||
        (resolution != k640x480Resolution && resolution != k800x600Resolution))
        resolution = kDesktopResolution;
    if (resolution == k640x480Resolution) {
        renderWindow.childWidth = 640;
        renderWindow.childHeight = 480;
    } else if (resolution == k800x600Resolution) {
        renderWindow.childWidth = 800;
        renderWindow.childHeight = 600;
    } else {
        renderWindow.childWidth = renderWindow.parentWidth;
        renderWindow.childHeight = renderWindow.parentHeight;
        renderWindow.spansSaverWindow = 1;
    }
    // The standalone 3dfx driver draws full screen at 640 x 480 only.
    if (strcmp(renderWindow.driverName, "3dfxgl.dll") == 0 &&
        resolution == kDesktopResolution && renderWindow.parentWidth >= 640) {
        renderWindow.childWidth = 640;
        renderWindow.childHeight = 480;
        renderWindow.spansSaverWindow = 0;
    }
}

// Writes the start-up log "ssaver.txt"; skipped when it cannot be created.
// The lines are formatted by the system (wsprintfA), so the program needs
// no formatting code of its own.
void WriteStartupLog()
{
    FILE* log = fopen("ssaver.txt", "w");
    if (!log)
        return;
    char lines[128];
    wsprintfA(lines, "childRes = %d\nchildX   = %d\nchildY   = %d\n",
              static_cast<int>(saverSettings.resolution), renderWindow.childWidth,
              renderWindow.childHeight);
    fputs(lines, log);
    fputs(renderWindow.driverName, log);
    fclose(log);
}

// True when the screen is to be switched to the child's size: a full-screen
// child 640 or 800 wide (a fixed resolution, the standalone driver's
// 640 x 480, or a desktop that wide). A desktop-sized child on several
// monitors spans them all, and no display mode is that size: it is not
// switched. A preview never changes the user's display.
bool SwitchesScreen()
{
    if (saverState.isPreview || (renderWindow.childWidth != 640 && renderWindow.childWidth != 800))
        return false;
    return !renderWindow.spansSaverWindow || GetSystemMetrics(SM_CMONITORS) < 2;
}

// Where the GL child lies in the saver window: a switched scene at the
// primary monitor's top-left corner, screen point (0,0), which is not the
// saver window's corner where other monitors lie left of or above the
// primary; any other at the saver window's corner.
POINT ChildOrigin(HWND saverWindow)
{
    POINT origin = {0, 0};
    if (renderWindow.switchesScreen)
        ScreenToClient(saverWindow, &origin);
    return origin;
}

// Puts the GL child at its place in the saver window and notes the monitors
// it spans: a switched child at the primary's corner, any other spanning the
// saver window. Runs when the child has been made (its own switch may have
// moved the saver window) and after every display change, once the saver
// window covers the whole screen again.
void PlaceChildWindow(HWND saverWindow)
{
    HWND child = renderWindow.childWindow;
    if (!child || saverState.isPreview)
        return;
    POINT origin = ChildOrigin(saverWindow);
    if (renderWindow.spansSaverWindow && !renderWindow.switchesScreen) {
        RECT client;
        GetClientRect(saverWindow, &client);
        renderWindow.childWidth = client.right;
        renderWindow.childHeight = client.bottom;
    }
    // The next frame draws all of it: the old picture is not copied over.
    SetWindowPos(child, nullptr, origin.x, origin.y, renderWindow.childWidth,
                 renderWindow.childHeight, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
    const int hadViews = monitorViews.count;
    ReadMonitorViews(child);
    // Back to one scene over the whole child: its viewport again.
    if (hadViews && !monitorViews.count)
        ResizeScene(renderWindow.childWidth, renderWindow.childHeight);
}

// Creates the GL child window and puts it at its place.
void CreateChildWindow(HWND saverWindow)
{
    renderWindow.switchesScreen = SwitchesScreen();
    POINT origin = ChildOrigin(saverWindow);
    renderWindow.childWindow = CreateWindowExA(
        0, kChildClassName, kChildClassName,
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, origin.x, origin.y,
        renderWindow.childWidth, renderWindow.childHeight, saverWindow, nullptr,
        saverState.instance, nullptr);
    if (!renderWindow.childWindow)
        ReportWindowFailure("Couldn't Create Window");
    PlaceChildWindow(saverWindow);
}

// Saver window created: settings, driver, size, log and the GL child window.
void CreateRenderWindow(HWND saverWindow)
{
    ReadStartupSettings();
    RegisterChildClass();
    MeasureParent(saverWindow);
    ChooseDriver();
    if (LoadDriverLibrary(renderWindow.driverName) == -1) {
        // No entry of the table may be called: nothing more is set up.
        PostQuitMessage(0);
        return;
    }
    FixChildSize();
    WriteStartupLog();
    CreateChildWindow(saverWindow);
}

// Saver window destroyed: the child, then the driver library.
void DestroyRenderWindow()
{
    if (IsWindow(renderWindow.childWindow))
        DestroyWindow(renderWindow.childWindow);
    FreeDriverLibrary();
    PostQuitMessage(0);
}

// Child created: mode switch, pixel format, context, light and textures,
// frame timer, display-power watch. The saver window is the child's parent.
void CreateGlContext(HWND child)
{
    renderWindow.childDc = GetDC(child);
    if (renderWindow.switchesScreen)
        SwitchDisplayMode(GetParent(child));
    int format = DriverChoosePixelFormat(renderWindow.childDc, &requestedPixelFormat);
    DriverSetPixelFormat(renderWindow.childDc, format, &requestedPixelFormat);
    DriverDescribePixelFormat(renderWindow.childDc, format, sizeof requestedPixelFormat,
                              &requestedPixelFormat);
    renderWindow.glContext = DriverCreateContext(renderWindow.childDc);
    DriverMakeCurrent(renderWindow.childDc, renderWindow.glContext);
    InitSceneLighting();
    SetTimer(child, kFrameTimer, 0, nullptr);
    StartDisplayPowerWatch(child, kFrameTimer);
}

// Child destroyed: display-power watch, timer, context, device context, display mode.
void DestroyGlContext(HWND child)
{
    StopDisplayPowerWatch();
    KillTimer(child, kFrameTimer);
    DriverMakeCurrent(renderWindow.childDc, nullptr);
    DriverDeleteContext(renderWindow.glContext);
    ReleaseDC(child, renderWindow.childDc);
    UndoDisplayModeSwitch();
    PostQuitMessage(0);
}

// Draws one frame and shows it.
void PaintFrame(HWND child)
{
    PAINTSTRUCT paint;
    BeginPaint(child, &paint);
    if (monitorViews.count)
        DrawSceneFrameInViews(monitorViews.views, monitorViews.count);
    else
        DrawSceneFrame();
    DriverSwapBuffers(renderWindow.childDc);
    EndPaint(child, &paint);
}

}  // namespace

LRESULT CALLBACK SaverHookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        CreateRenderWindow(window);
        return 0;
    case WM_DESTROY:
        DestroyRenderWindow();
        return 0;
    case WM_DISPLAYCHANGE:
        PlaceChildWindow(window);
        break;
    }
    return SaverDefaultProc(window, message, wParam, lParam);
}

LRESULT CALLBACK GlChildWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        CreateGlContext(window);
        return 0;
    case WM_DESTROY:
        DestroyGlContext(window);
        return 0;
    case WM_SIZE:
        ResizeScene(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_TIMER:
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_PAINT:
        if (!SkipFrameWhileDisplayOff(window))
            PaintFrame(window);
        return 0;
    case WM_ACTIVATE:
    case WM_ACTIVATEAPP:
    case WM_SETCURSOR:
    case WM_NCACTIVATE:
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_SYSCOMMAND:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
        // The close rules apply to the child and to the saver window.
        LRESULT result = SaverDefaultProc(window, message, wParam, lParam);
        SaverDefaultProc(saverState.saverWindow, message, wParam, lParam);
        return result;
    }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
