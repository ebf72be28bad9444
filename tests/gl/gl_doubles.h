#pragma once
// For GL tests: where the driver doubles are, a window to draw into and the
// pixel format the saver asks for.
#include <windows.h>

#include <string>

#include "test_paths.h"

// Full path of a driver double: its folder under bin/doubles and file name.
inline std::string DoublePath(const std::string& folder, const std::string& file)
{
    return ProgramFolder() + "doubles\\" + folder + "\\" + file;
}

// A small top-level window with a device context of its own. Hidden unless
// asked: Wine without a window manager takes 2 s to destroy a visible one.
class TestGlWindow {
public:
    explicit TestGlWindow(bool visible = false, int width = 64, int height = 64)
    {
        static ATOM windowClass;
        if (!windowClass) {
            WNDCLASSA description = {};
            description.style = CS_OWNDC;
            description.lpfnWndProc = DefWindowProcA;
            description.hInstance = GetModuleHandleA(nullptr);
            description.lpszClassName = "GlTestWindow";
            windowClass = RegisterClassA(&description);
        }
        DWORD style = WS_POPUP | (visible ? WS_VISIBLE : 0);
        window = CreateWindowExA(0, "GlTestWindow", "GL test", style, 0, 0, width, height,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        dc = GetDC(window);
    }
    ~TestGlWindow()
    {
        ReleaseDC(window, dc);
        DestroyWindow(window);
    }
    TestGlWindow(const TestGlWindow&) = delete;
    TestGlWindow& operator=(const TestGlWindow&) = delete;

    HWND window;
    HDC dc;
};

// A double-buffered RGBA window format with 24 colour and 16 depth bits.
inline PIXELFORMATDESCRIPTOR DesiredFormat()
{
    PIXELFORMATDESCRIPTOR format = {};
    format.nSize = sizeof format;
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = 24;
    format.cDepthBits = 16;
    format.iLayerType = PFD_MAIN_PLANE;
    return format;
}
