#pragma once
// The program's side of the saver window: the hook, and the GL child window
// in which the scene is drawn.
#include <windows.h>
#include <ddraw.h>

// The render window's process-wide record.
struct RenderWindowState {
    int parentWidth;          // saver window's client size, measured once
    int parentHeight;
    int narrowParent;         // 1 when the saver window is under 640 wide
    char driverName[16];      // file name of the OpenGL driver library
    int childWidth;           // size of the GL child window, and the screen
    int childHeight;          // size a fixed resolution switches to
    int spansSaverWindow;     // 1 when the child takes the saver window's size
    int switchesScreen;       // 1 when the child's creation switches the display
    HWND childWindow;
    HDC childDc;
    HGLRC glContext;
    IDirectDraw* directDraw;  // held while a DirectDraw mode switch is in force
};
extern RenderWindowState renderWindow;

// Window procedure of the GL child window ("OpenGL ScreenSaver").
LRESULT CALLBACK GlChildWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
