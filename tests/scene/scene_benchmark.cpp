// How fast the scene draws: frames per second of DrawSceneFrame plus a
// buffer swap in a visible 1024 x 768 window, against clearing and swapping
// alone in the same window; and the time the scene's own code takes per
// frame, measured with a driver that does nothing. Prints its results; it
// fails only when it cannot set up.
//   ctest -L benchmark -V     (or tests/harness/wine-run.sh -- bin/scene_benchmark.exe)
#include <windows.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include <stdio.h>

#include "gl_driver.h"
#include "import_hook.h"
#include "scene.h"
#include "scene_context.h"
#include "scene_frame.h"
#include "scene_lighting.h"

namespace {

const int kWidth = 1024;
const int kHeight = 768;
const int kSwappedFrames = 300;
const int kCpuFrames = 20000;

// A do-nothing GL entry for each slot of the table, of the slot's type.
template <typename Result>
Result Nothing()
{
    return Result();
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
namespace Stub {
#define GL_ENTRY(result, name, params, args) \
    result APIENTRY name params { return Nothing<result>(); }
#include "gl_entries.inc"
#undef GL_ENTRY
void APIENTRY glNormal3f(GLfloat x, GLfloat y, GLfloat z) {}
void APIENTRY gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {}
}  // namespace Stub
#pragma GCC diagnostic pop

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

// Seconds this thread has run, in user and kernel mode together.
double ThreadSeconds()
{
    FILETIME creation, exit, kernel, user;
    GetThreadTimes(GetCurrentThread(), &creation, &exit, &kernel, &user);
    ULARGE_INTEGER k = {{kernel.dwLowDateTime, kernel.dwHighDateTime}};
    ULARGE_INTEGER u = {{user.dwLowDateTime, user.dwHighDateTime}};
    return double(k.QuadPart + u.QuadPart) / 1e7;
}

// Lets the window's messages through between frames.
void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
}

// Wall and thread seconds of a run of frames.
struct Timing {
    double wall, cpu;
};

// Draws count frames with draw, each followed by a swap, as the GL window does.
Timing TimeSwappedFrames(HDC dc, void (*draw)(), int count)
{
    DriverGl::glFinish();
    const double wall = Now(), cpu = ThreadSeconds();
    for (int i = 0; i < count; ++i) {
        draw();
        DriverSwapBuffers(dc);
        PumpMessages();
    }
    DriverGl::glFinish();
    return {Now() - wall, ThreadSeconds() - cpu};
}

// The frame of a program that only clears.
void ClearOnly()
{
    DriverGl::glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// DrawSceneFrame with every GL entry, glNormal3f and gluPerspective doing
// nothing: the scene's own code and its calls.
Timing TimeSceneCode(int count)
{
    const GlEntryTable saved = glEntries;
#define GL_ENTRY(result, name, params, args) glEntries.name = Stub::name;
#include "gl_entries.inc"
#undef GL_ENTRY
    ImportHook normal("opengl32.dll", "glNormal3f", reinterpret_cast<void*>(Stub::glNormal3f));
    ImportHook perspective("glu32.dll", "gluPerspective",
                           reinterpret_cast<void*>(Stub::gluPerspective));
    if (!normal.original() || !perspective.original())
        printf("warning: glNormal3f or gluPerspective not replaced; they count too\n");
    const double wall = Now(), cpu = ThreadSeconds();
    for (int i = 0; i < count; ++i)
        DrawSceneFrame();
    const Timing timing = {Now() - wall, ThreadSeconds() - cpu};
    glEntries = saved;
    return timing;
}

}  // namespace

int main()
{
    if (LoadDriverLibrary("opengl32.dll") != 0) {
        printf("cannot load opengl32.dll\n");
        return 1;
    }
    SceneContext scene(true, kWidth, kHeight);
    if (!scene.context) {
        printf("no rendering context\n");
        return 1;
    }
    ResizeScene(kWidth, kHeight);
    const bool pictures = GetFileAttributesA("c:\\zelvodata\\quad.bmp") != INVALID_FILE_ATTRIBUTES;
    if (pictures)
        InitSceneLighting();
    else
        SetSceneLight();
    printf("renderer: %s, %s; depth bits %d; %s\n",
           reinterpret_cast<const char*>(DriverGl::glGetString(GL_VENDOR)),
           reinterpret_cast<const char*>(DriverGl::glGetString(GL_RENDERER)), scene.depthBits,
           pictures ? "textured from c:\\zelvodata" : "untextured (no pictures)");

    TimeSwappedFrames(scene.window.dc, DrawSceneFrame, 20);  // warm-up
    const Timing clear = TimeSwappedFrames(scene.window.dc, ClearOnly, kSwappedFrames);
    const Timing frames = TimeSwappedFrames(scene.window.dc, DrawSceneFrame, kSwappedFrames);
    const double clearRate = kSwappedFrames / clear.wall;
    const double sceneRate = kSwappedFrames / frames.wall;
    printf("%d frames of %d x %d each:\n", kSwappedFrames, kWidth, kHeight);
    printf("  clear + swap:          %7.1f frames/s, %6.2f ms CPU of this thread per frame\n",
           clearRate, 1e3 * clear.cpu / kSwappedFrames);
    printf("  DrawSceneFrame + swap: %7.1f frames/s, %6.2f ms CPU of this thread per frame\n",
           sceneRate, 1e3 * frames.cpu / kSwappedFrames);
    printf("  scene / clear:         %7.3f\n", sceneRate / clearRate);

    const Timing code = TimeSceneCode(kCpuFrames);
    printf("scene code alone, GL doing nothing, %d frames: %.2f us per frame (%.2f us CPU)\n",
           kCpuFrames, 1e6 * code.wall / kCpuFrames, 1e6 * code.cpu / kCpuFrames);
    return 0;
}
