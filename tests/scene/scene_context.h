#pragma once
// For scene tests and the benchmark: a window with a current rendering
// context made through the loaded driver library's WGL operations, and the
// scene's light without its textures.
#include <windows.h>
#include <GL/gl.h>

#include "gl_doubles.h"
#include "gl_driver.h"

// A window of the given size whose pixel format (double buffer, 24 colour
// and 16 depth bits) and current context come from the WGL operations.
class SceneContext {
public:
    SceneContext(bool visible, int width, int height) : window(visible, width, height)
    {
        PIXELFORMATDESCRIPTOR desired = DesiredFormat();
        int format = DriverChoosePixelFormat(window.dc, &desired);
        if (!format || !DriverSetPixelFormat(window.dc, format, &desired))
            return;
        PIXELFORMATDESCRIPTOR description = {};
        DriverDescribePixelFormat(window.dc, format, sizeof description, &description);
        depthBits = description.cDepthBits;
        context = DriverCreateContext(window.dc);
        if (context && !DriverMakeCurrent(window.dc, context)) {
            DriverDeleteContext(context);
            context = nullptr;
        }
    }
    ~SceneContext()
    {
        if (context) {
            DriverMakeCurrent(nullptr, nullptr);
            DriverDeleteContext(context);
        }
    }
    SceneContext(const SceneContext&) = delete;
    SceneContext& operator=(const SceneContext&) = delete;

    TestGlWindow window;
    HGLRC context = nullptr;  // null when any step failed
    int depthBits = 0;
};

// Light 0 at the eye with white ambient and diffuse colour, lighting on: the
// scene's light, set as the program sets it before its textures.
inline void SetSceneLight()
{
    const GLfloat white[] = {1.0f, 1.0f, 1.0f, 1.0f};
    const GLfloat atEye[] = {0.0f, 0.0f, 0.0f, 1.0f};
    ::glLightfv(GL_LIGHT0, GL_AMBIENT, white);
    ::glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    ::glLightfv(GL_LIGHT0, GL_POSITION, atEye);
    DriverGl::glEnable(GL_LIGHT0);
    DriverGl::glEnable(GL_LIGHTING);
}
