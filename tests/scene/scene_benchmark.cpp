// How fast the scene draws: frames per second of DrawSceneFrame plus a
// buffer swap in a visible 1024 x 768 window, against clearing and swapping
// alone in the same window; what each part of the frame (the model, each sky
// layer) adds to it; what the frame costs without blending, depth testing,
// lighting or texturing, or with nearest-texel filtering; and the time the
// scene's own code takes per frame, measured with a driver that does
// nothing. Prints its results; it fails only when it cannot set up.
//   ctest -L benchmark -V     (or tests/harness/wine-run.sh -- bin/scene_benchmark.exe)
#include <windows.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include <stdio.h>

#include "gl_driver.h"
#include "import_hook.h"
#include "messages.h"
#include "model.h"
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

// The frame's primitives in drawing order: the model's rows, then one quad
// for each sky layer. A primitive beyond partsDrawn parts is dropped between
// glBegin and glEnd, so every state change of the frame still happens.
const char* const kPartNames[] = {"model", "far stars", "near stars", "cloud"};
const int kPartCount = 4;
int partsDrawn = kPartCount;
int primitiveIndex;
bool dropping;
GlEntryTable driverEntries;

// The part of the frame the primitive of this index belongs to.
int PartOfPrimitive(int index)
{
    return index < ModelTriangleCount ? 0 : 1 + index - ModelTriangleCount;
}

namespace Parts {
void APIENTRY glClear(GLbitfield mask)
{
    primitiveIndex = 0;
    driverEntries.glClear(mask);
}
void APIENTRY glBegin(GLenum mode)
{
    dropping = PartOfPrimitive(primitiveIndex++) >= partsDrawn;
    if (!dropping)
        driverEntries.glBegin(mode);
}
void APIENTRY glEnd()
{
    if (!dropping)
        driverEntries.glEnd();
}
void APIENTRY glTexCoord2f(GLfloat s, GLfloat t)
{
    if (!dropping)
        driverEntries.glTexCoord2f(s, t);
}
void APIENTRY glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    if (!dropping)
        driverEntries.glVertex3f(x, y, z);
}
}  // namespace Parts

// Frames per second of DrawSceneFrame + swap with the first parts of the
// frame drawn, for each count of parts from none to all.
void TimeFrameParts(HDC dc, double clearRate)
{
    driverEntries = glEntries;
    glEntries.glClear = Parts::glClear;
    glEntries.glBegin = Parts::glBegin;
    glEntries.glEnd = Parts::glEnd;
    glEntries.glTexCoord2f = Parts::glTexCoord2f;
    glEntries.glVertex3f = Parts::glVertex3f;
    printf("the frame part by part (DrawSceneFrame + swap, later parts dropped):\n");
    printf("  %-24s %9s %10s %12s\n", "parts drawn", "frames/s", "ms/frame", "part adds ms");
    printf("  %-24s %9.1f %10.2f\n", "clear + swap only", clearRate, 1e3 / clearRate);
    double previous = 1.0 / clearRate;
    for (int parts = 0; parts <= kPartCount; ++parts) {
        partsDrawn = parts;
        const Timing timing = TimeSwappedFrames(dc, DrawSceneFrame, kSwappedFrames);
        const double perFrame = timing.wall / kSwappedFrames;
        char name[64];
        if (parts == 0)
            lstrcpyA(name, "frame state, nothing");
        else
            wsprintfA(name, "+ %s", kPartNames[parts - 1]);
        printf("  %-24s %9.1f %10.2f %12.2f\n", name, 1.0 / perFrame, 1e3 * perFrame,
               1e3 * (perFrame - previous));
        previous = perFrame;
    }
    glEntries = driverEntries;
}

// The whole frame with one capability kept off (its glEnable dropped), or
// with every texture filtered by nearest texel: what each kind of work the
// driver does per pixel costs.
GLenum capabilityKeptOff;
namespace Variants {
void APIENTRY glEnable(GLenum capability)
{
    if (capability != capabilityKeptOff)
        driverEntries.glEnable(capability);
}
}  // namespace Variants

// Sets both filters of each of the scene's textures.
void FilterSceneTextures(GLint magnification, GLint minification)
{
    for (GLuint texture : {sceneTextures.starsTexture, sceneTextures.cloudTexture,
                           sceneTextures.modelTexture}) {
        DriverGl::glBindTexture(GL_TEXTURE_2D, texture);
        ::glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magnification);
        ::glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minification);
    }
}

// Milliseconds per frame of the whole frame with capability kept off.
double TimeFrameWithout(HDC dc, GLenum capability)
{
    driverEntries = glEntries;
    glEntries.glEnable = Variants::glEnable;
    capabilityKeptOff = capability;
    DriverGl::glDisable(capability);
    const Timing timing = TimeSwappedFrames(dc, DrawSceneFrame, kSwappedFrames);
    glEntries = driverEntries;
    return 1e3 * timing.wall / kSwappedFrames;
}

// Prints the frame's cost with each kind of per-pixel work taken away.
void TimeFrameVariants(HDC dc, bool textured)
{
    printf("the whole frame with one kind of work taken away:\n");
    const double whole = 1e3 * TimeSwappedFrames(dc, DrawSceneFrame, kSwappedFrames).wall / kSwappedFrames;
    printf("  %-30s %6.2f ms/frame\n", "as drawn", whole);
    const struct {
        GLenum capability;
        const char* name;
    } kVariants[] = {{GL_BLEND, "without blending"}, {GL_DEPTH_TEST, "without depth testing"},
                     {GL_LIGHTING, "without lighting"}, {GL_TEXTURE_2D, "without texturing"}};
    for (const auto& variant : kVariants)
        printf("  %-30s %6.2f ms/frame\n", variant.name, TimeFrameWithout(dc, variant.capability));
    if (!textured)
        return;
    FilterSceneTextures(GL_NEAREST, GL_NEAREST);
    const double nearest = 1e3 * TimeSwappedFrames(dc, DrawSceneFrame, kSwappedFrames).wall / kSwappedFrames;
    printf("  %-30s %6.2f ms/frame\n", "nearest-texel filtering", nearest);
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
    TimeFrameParts(scene.window.dc, clearRate);
    TimeFrameVariants(scene.window.dc, pictures);

    const Timing code = TimeSceneCode(kCpuFrames);
    printf("scene code alone, GL doing nothing, %d frames: %.2f us per frame (%.2f us CPU)\n",
           kCpuFrames, 1e6 * code.wall / kCpuFrames, 1e6 * code.cpu / kCpuFrames);
    return 0;
}
