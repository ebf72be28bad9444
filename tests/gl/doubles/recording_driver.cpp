// A stand-in for a card's standalone OpenGL driver library. It exports the
// 51 GL entries and the seven wgl* functions the saver looks up, passes each
// call on to the platform's opengl32 and logs it as a line of text (see
// recorder_api.h). Built under several file names; with OMIT_POLYGON_OFFSET
// it lacks the one export glPolygonOffset.
//
// For a test that watches another process: when GL_RECORDER_FILE names a
// file, the double appends to it instead of keeping its log. Each line
// starts with the milliseconds since the process started: "attach" when
// loaded, each wgl* call as logged, and when unloaded "gl calls N" (the GL
// entries are only counted then) and "detach FreeLibrary" or "detach exit".
// When GL_RECORDER_HOLD names an event, wglCreateContext waits, once logged,
// until the test sets it: the saver is then inside its window creation.
#define _GDI32_  // declare the gl* and wgl* functions without dllimport: defined here
#include <windows.h>
#include <GL/gl.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "recorder_format.h"

#define EXPORT extern "C" __declspec(dllexport)

namespace {

// The platform's functions that the exports pass their calls on to.
struct PlatformGl {
#define GL_ENTRY(result, name, params, args) result(APIENTRY* name) params;
#include "gl_entries.inc"
#undef GL_ENTRY
    HGLRC(WINAPI* wglCreateContext)(HDC);
    BOOL(WINAPI* wglDeleteContext)(HGLRC);
    BOOL(WINAPI* wglMakeCurrent)(HDC, HGLRC);
    BOOL(WINAPI* wglSwapBuffers)(HDC);
    int(WINAPI* wglChoosePixelFormat)(HDC, const PIXELFORMATDESCRIPTOR*);
    int(WINAPI* wglDescribePixelFormat)(HDC, int, UINT, PIXELFORMATDESCRIPTOR*);
    BOOL(WINAPI* wglSetPixelFormat)(HDC, int, const PIXELFORMATDESCRIPTOR*);
};

const int kLineSize = 400;
const int kForcedSlots = 8;

// A result a test made one wgl* export return.
struct ForcedResult {
    char name[32];
    INT_PTR result;
};

// The double's state: the platform functions, the log and the forced results.
struct RecorderState {
    PlatformGl platform;
    bool platformResolved;
    char (*lines)[kLineSize];
    int count;
    int capacity;
    ForcedResult forced[kForcedSlots];
    int forcedCount;
    HANDLE file;    // the GL_RECORDER_FILE log, or null
    long glCalls;   // GL entry calls while the log goes to the file
};
RecorderState recorder;

// Looks one platform function up by name.
template <typename Proc>
void Resolve(HMODULE library, const char* name, Proc& proc)
{
    proc = reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

// The platform's functions, looked up at the first call.
const PlatformGl& Platform()
{
    if (!recorder.platformResolved) {
        HMODULE library = LoadLibraryA("opengl32.dll");
        PlatformGl& gl = recorder.platform;
#define GL_ENTRY(result, name, params, args) Resolve(library, #name, gl.name);
#include "gl_entries.inc"
#undef GL_ENTRY
        Resolve(library, "wglCreateContext", gl.wglCreateContext);
        Resolve(library, "wglDeleteContext", gl.wglDeleteContext);
        Resolve(library, "wglMakeCurrent", gl.wglMakeCurrent);
        Resolve(library, "wglSwapBuffers", gl.wglSwapBuffers);
        Resolve(library, "wglChoosePixelFormat", gl.wglChoosePixelFormat);
        Resolve(library, "wglDescribePixelFormat", gl.wglDescribePixelFormat);
        Resolve(library, "wglSetPixelFormat", gl.wglSetPixelFormat);
        recorder.platformResolved = true;
    }
    return recorder.platform;
}

// Milliseconds since this process was created.
double ProcessMilliseconds()
{
    FILETIME created, exited, kernel, user, now;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER start = {{created.dwLowDateTime, created.dwHighDateTime}};
    ULARGE_INTEGER current = {{now.dwLowDateTime, now.dwHighDateTime}};
    return (static_cast<double>(current.QuadPart) - static_cast<double>(start.QuadPart)) / 1e4;
}

// Appends one line, stamped with the process's age, to the log file.
void WriteFileLine(const char* text)
{
    char line[kLineSize + 32];
    int length = snprintf(line, sizeof line, "%.1f %s\r\n", ProcessMilliseconds(), text);
    DWORD written;
    WriteFile(recorder.file, line, static_cast<DWORD>(length), &written, nullptr);
}

// Opens the log file named by GL_RECORDER_FILE, if any.
void OpenLogFile()
{
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("GL_RECORDER_FILE", path, sizeof path);
    if (!length || length >= sizeof path)
        return;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    recorder.file = file;
    WriteFileLine("attach");
}

// Ends the log file: the GL calls counted and how the double was unloaded.
void CloseLogFile(bool processExit)
{
    if (!recorder.file)
        return;
    char line[32];
    snprintf(line, sizeof line, "gl calls %ld", recorder.glCalls);
    WriteFileLine(line);
    WriteFileLine(processExit ? "detach exit" : "detach FreeLibrary");
    CloseHandle(recorder.file);
    recorder.file = nullptr;
}

// Appends one line to the log.
void Record(const char* format, ...)
{
    if (recorder.file) {
        if (strncmp(format, "wgl", 3) != 0) {
            ++recorder.glCalls;
            return;
        }
        char line[kLineSize];
        va_list args;
        va_start(args, format);
        vsnprintf(line, sizeof line, format, args);
        va_end(args);
        WriteFileLine(line);
        return;
    }
    if (recorder.count == recorder.capacity) {
        int capacity = recorder.capacity ? recorder.capacity * 2 : 4096;
        void* lines = realloc(recorder.lines, capacity * sizeof *recorder.lines);
        if (!lines)
            abort();
        recorder.lines = static_cast<char (*)[kLineSize]>(lines);
        recorder.capacity = capacity;
    }
    va_list args;
    va_start(args, format);
    vsnprintf(recorder.lines[recorder.count++], kLineSize, format, args);
    va_end(args);
}

// Text of a handle, in one of a few rotating buffers so that a call can
// format several.
const char* Handle(const void* handle)
{
    static char texts[4][20];
    static int next;
    char* text = texts[next++ % 4];
    FormatHandle(handle, text);
    return text;
}

// Text of an array of floats: "[a, b, c]".
const char* Floats(const GLfloat* values, int count)
{
    static char text[kLineSize];
    int length = snprintf(text, sizeof text, "[");
    for (int i = 0; i < count; ++i)
        length += snprintf(text + length, sizeof text - length, i ? ", %.9g" : "%.9g",
                           values[i]);
    snprintf(text + length, sizeof text - length, "]");
    return text;
}

// Text of a pixel-format descriptor's main fields.
const char* Descriptor(const PIXELFORMATDESCRIPTOR* pfd)
{
    static char text[128];
    if (!pfd)
        return "null";
    snprintf(text, sizeof text,
             "{flags 0x%08lX, type %d, color %d, alpha %d, depth %d, stencil %d}",
             static_cast<unsigned long>(pfd->dwFlags), pfd->iPixelType, pfd->cColorBits,
             pfd->cAlphaBits, pfd->cDepthBits, pfd->cStencilBits);
    return text;
}

// Bytes of one pixel for a format and type the double knows; 0 otherwise.
int PixelSize(GLenum format, GLenum type)
{
    int components = 0;
    switch (format) {
    case GL_ALPHA: case GL_LUMINANCE: case GL_RED: case GL_GREEN: case GL_BLUE:
        components = 1; break;
    case GL_LUMINANCE_ALPHA: components = 2; break;
    case GL_RGB: case GL_BGR_EXT: components = 3; break;
    case GL_RGBA: case GL_BGRA_EXT: components = 4; break;
    }
    if (type == GL_UNSIGNED_BYTE)
        return components;
    if (type == GL_FLOAT)
        return components * 4;
    return 0;
}

// Text of glTexImage2D's pixels: the hash of every row as GL reads them.
const char* Pixels(GLsizei width, GLsizei height, GLenum format, GLenum type, const GLvoid* pixels)
{
    static char text[12];
    int pixelSize = PixelSize(format, type);
    if (!pixels)
        return "null";
    if (!pixelSize || width < 0 || height < 0)
        return "?";
    GLint alignment = 4;
    Platform().glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    size_t rowSize = static_cast<size_t>(width) * pixelSize;
    size_t stride = (rowSize + alignment - 1) / alignment * alignment;
    unsigned hash = PixelHash(nullptr, 0);
    for (GLsizei row = 0; row < height; ++row)
        hash = PixelHash(static_cast<const char*>(pixels) + row * stride, rowSize, hash);
    snprintf(text, sizeof text, "#%08X", hash);
    return text;
}

// The result a test forced for a wgl* export, if any.
bool Forced(const char* name, INT_PTR& result)
{
    for (int i = 0; i < recorder.forcedCount; ++i)
        if (strcmp(recorder.forced[i].name, name) == 0) {
            result = recorder.forced[i].result;
            return true;
        }
    return false;
}

}  // namespace

// Opens the log file when loaded and ends it when unloaded.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH)
        OpenLogFile();
    else if (reason == DLL_PROCESS_DETACH)
        CloseLogFile(reserved != nullptr);
    return TRUE;
}

// The log's interface for tests.

// Empties the log and drops every forced result.
EXPORT void WINAPI RecorderReset()
{
    recorder.count = 0;
    recorder.forcedCount = 0;
}

// Number of calls logged.
EXPORT int WINAPI RecorderCount()
{
    return recorder.count;
}

// One logged call, oldest first; null when index is out of range.
EXPORT const char* WINAPI RecorderEntry(int index)
{
    return index >= 0 && index < recorder.count ? recorder.lines[index] : nullptr;
}

// Makes the named wgl* export return result from now on, without calling
// the platform.
EXPORT void WINAPI RecorderForceResult(const char* wglName, INT_PTR result)
{
    ForcedResult* slot = nullptr;
    for (int i = 0; i < recorder.forcedCount; ++i)
        if (strcmp(recorder.forced[i].name, wglName) == 0)
            slot = &recorder.forced[i];
    if (!slot && recorder.forcedCount < kForcedSlots)
        slot = &recorder.forced[recorder.forcedCount++];
    if (!slot)
        return;
    snprintf(slot->name, sizeof slot->name, "%s", wglName);
    slot->result = result;
}

// Waits for the event GL_RECORDER_HOLD names, if any (a minute at most).
void HoldIfAsked()
{
    char name[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("GL_RECORDER_HOLD", name, sizeof name);
    if (!length || length >= sizeof name)
        return;
    HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, name);
    if (!event)
        return;
    WaitForSingleObject(event, 60000);
    CloseHandle(event);
}

// The wgl* exports.

EXPORT HGLRC WINAPI wglCreateContext(HDC dc)
{
    Record("wglCreateContext(%s)", Handle(dc));
    HoldIfAsked();
    INT_PTR result;
    if (Forced("wglCreateContext", result))
        return reinterpret_cast<HGLRC>(result);
    return Platform().wglCreateContext(dc);
}

EXPORT BOOL WINAPI wglDeleteContext(HGLRC context)
{
    Record("wglDeleteContext(%s)", Handle(context));
    INT_PTR result;
    if (Forced("wglDeleteContext", result))
        return static_cast<BOOL>(result);
    return Platform().wglDeleteContext(context);
}

EXPORT BOOL WINAPI wglMakeCurrent(HDC dc, HGLRC context)
{
    Record("wglMakeCurrent(%s, %s)", Handle(dc), Handle(context));
    INT_PTR result;
    if (Forced("wglMakeCurrent", result))
        return static_cast<BOOL>(result);
    return Platform().wglMakeCurrent(dc, context);
}

EXPORT BOOL WINAPI wglSwapBuffers(HDC dc)
{
    Record("wglSwapBuffers(%s)", Handle(dc));
    INT_PTR result;
    if (Forced("wglSwapBuffers", result))
        return static_cast<BOOL>(result);
    return Platform().wglSwapBuffers(dc);
}

EXPORT int WINAPI wglChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* pfd)
{
    Record("wglChoosePixelFormat(%s, %s)", Handle(dc), Descriptor(pfd));
    INT_PTR result;
    if (Forced("wglChoosePixelFormat", result))
        return static_cast<int>(result);
    return Platform().wglChoosePixelFormat(dc, pfd);
}

EXPORT int WINAPI wglDescribePixelFormat(HDC dc, int format, UINT size, PIXELFORMATDESCRIPTOR* pfd)
{
    Record("wglDescribePixelFormat(%s, %d, %u)", Handle(dc), format, size);
    INT_PTR result;
    if (Forced("wglDescribePixelFormat", result))
        return static_cast<int>(result);
    return Platform().wglDescribePixelFormat(dc, format, size, pfd);
}

EXPORT BOOL WINAPI wglSetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* pfd)
{
    Record("wglSetPixelFormat(%s, %d, %s)", Handle(dc), format, Descriptor(pfd));
    INT_PTR result;
    if (Forced("wglSetPixelFormat", result))
        return static_cast<BOOL>(result);
    return Platform().wglSetPixelFormat(dc, format, pfd);
}

// The 51 GL entries, in lookup order.

EXPORT void APIENTRY glAlphaFunc(GLenum func, GLclampf ref)
{
    Record("glAlphaFunc(0x%04X, %.9g)", func, ref);
    Platform().glAlphaFunc(func, ref);
}

EXPORT void APIENTRY glBegin(GLenum mode)
{
    Record("glBegin(0x%04X)", mode);
    Platform().glBegin(mode);
}

EXPORT void APIENTRY glBindTexture(GLenum target, GLuint texture)
{
    Record("glBindTexture(0x%04X, %u)", target, texture);
    Platform().glBindTexture(target, texture);
}

EXPORT void APIENTRY glBlendFunc(GLenum sfactor, GLenum dfactor)
{
    Record("glBlendFunc(0x%04X, 0x%04X)", sfactor, dfactor);
    Platform().glBlendFunc(sfactor, dfactor);
}

EXPORT void APIENTRY glClear(GLbitfield mask)
{
    Record("glClear(0x%04X)", mask);
    Platform().glClear(mask);
}

EXPORT void APIENTRY glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha)
{
    Record("glClearColor(%.9g, %.9g, %.9g, %.9g)", red, green, blue, alpha);
    Platform().glClearColor(red, green, blue, alpha);
}

EXPORT void APIENTRY glClearDepth(GLclampd depth)
{
    Record("glClearDepth(%.17g)", depth);
    Platform().glClearDepth(depth);
}

EXPORT void APIENTRY glColor3f(GLfloat red, GLfloat green, GLfloat blue)
{
    Record("glColor3f(%.9g, %.9g, %.9g)", red, green, blue);
    Platform().glColor3f(red, green, blue);
}

EXPORT void APIENTRY glColor3fv(const GLfloat* v)
{
    Record("glColor3fv(%s)", Floats(v, 3));
    Platform().glColor3fv(v);
}

EXPORT void APIENTRY glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha)
{
    Record("glColor4f(%.9g, %.9g, %.9g, %.9g)", red, green, blue, alpha);
    Platform().glColor4f(red, green, blue, alpha);
}

EXPORT void APIENTRY glColor4fv(const GLfloat* v)
{
    Record("glColor4fv(%s)", Floats(v, 4));
    Platform().glColor4fv(v);
}

EXPORT void APIENTRY glCullFace(GLenum mode)
{
    Record("glCullFace(0x%04X)", mode);
    Platform().glCullFace(mode);
}

EXPORT void APIENTRY glDepthFunc(GLenum func)
{
    Record("glDepthFunc(0x%04X)", func);
    Platform().glDepthFunc(func);
}

EXPORT void APIENTRY glDisable(GLenum cap)
{
    Record("glDisable(0x%04X)", cap);
    Platform().glDisable(cap);
}

EXPORT void APIENTRY glEnable(GLenum cap)
{
    Record("glEnable(0x%04X)", cap);
    Platform().glEnable(cap);
}

EXPORT void APIENTRY glEnd()
{
    Record("glEnd()");
    Platform().glEnd();
}

EXPORT void APIENTRY glFinish()
{
    Record("glFinish()");
    Platform().glFinish();
}

EXPORT void APIENTRY glFlush()
{
    Record("glFlush()");
    Platform().glFlush();
}

EXPORT void APIENTRY glFrontFace(GLenum mode)
{
    Record("glFrontFace(0x%04X)", mode);
    Platform().glFrontFace(mode);
}

EXPORT void APIENTRY glFrustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top,
                               GLdouble zNear, GLdouble zFar)
{
    Record("glFrustum(%.17g, %.17g, %.17g, %.17g, %.17g, %.17g)", left, right, bottom, top,
           zNear, zFar);
    Platform().glFrustum(left, right, bottom, top, zNear, zFar);
}

EXPORT GLenum APIENTRY glGetError()
{
    Record("glGetError()");
    return Platform().glGetError();
}

EXPORT void APIENTRY glGetFloatv(GLenum pname, GLfloat* params)
{
    Record("glGetFloatv(0x%04X)", pname);
    Platform().glGetFloatv(pname, params);
}

EXPORT void APIENTRY glGetIntegerv(GLenum pname, GLint* params)
{
    Record("glGetIntegerv(0x%04X)", pname);
    Platform().glGetIntegerv(pname, params);
}

EXPORT const GLubyte* APIENTRY glGetString(GLenum name)
{
    Record("glGetString(0x%04X)", name);
    return Platform().glGetString(name);
}

EXPORT void APIENTRY glHint(GLenum target, GLenum mode)
{
    Record("glHint(0x%04X, 0x%04X)", target, mode);
    Platform().glHint(target, mode);
}

EXPORT GLboolean APIENTRY glIsEnabled(GLenum cap)
{
    Record("glIsEnabled(0x%04X)", cap);
    return Platform().glIsEnabled(cap);
}

EXPORT void APIENTRY glLoadIdentity()
{
    Record("glLoadIdentity()");
    Platform().glLoadIdentity();
}

EXPORT void APIENTRY glLoadMatrixf(const GLfloat* m)
{
    Record("glLoadMatrixf(%s)", Floats(m, 16));
    Platform().glLoadMatrixf(m);
}

EXPORT void APIENTRY glMatrixMode(GLenum mode)
{
    Record("glMatrixMode(0x%04X)", mode);
    Platform().glMatrixMode(mode);
}

EXPORT void APIENTRY glMultMatrixf(const GLfloat* m)
{
    Record("glMultMatrixf(%s)", Floats(m, 16));
    Platform().glMultMatrixf(m);
}

EXPORT void APIENTRY glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top,
                             GLdouble zNear, GLdouble zFar)
{
    Record("glOrtho(%.17g, %.17g, %.17g, %.17g, %.17g, %.17g)", left, right, bottom, top, zNear,
           zFar);
    Platform().glOrtho(left, right, bottom, top, zNear, zFar);
}

EXPORT void APIENTRY glPixelStorei(GLenum pname, GLint param)
{
    Record("glPixelStorei(0x%04X, %d)", pname, param);
    Platform().glPixelStorei(pname, param);
}

#ifndef OMIT_POLYGON_OFFSET
EXPORT void APIENTRY glPolygonOffset(GLfloat factor, GLfloat units)
{
    Record("glPolygonOffset(%.9g, %.9g)", factor, units);
    Platform().glPolygonOffset(factor, units);
}
#endif

EXPORT void APIENTRY glPopMatrix()
{
    Record("glPopMatrix()");
    Platform().glPopMatrix();
}

EXPORT void APIENTRY glPushMatrix()
{
    Record("glPushMatrix()");
    Platform().glPushMatrix();
}

EXPORT void APIENTRY glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z)
{
    Record("glRotatef(%.9g, %.9g, %.9g, %.9g)", angle, x, y, z);
    Platform().glRotatef(angle, x, y, z);
}

EXPORT void APIENTRY glScalef(GLfloat x, GLfloat y, GLfloat z)
{
    Record("glScalef(%.9g, %.9g, %.9g)", x, y, z);
    Platform().glScalef(x, y, z);
}

EXPORT void APIENTRY glShadeModel(GLenum mode)
{
    Record("glShadeModel(0x%04X)", mode);
    Platform().glShadeModel(mode);
}

EXPORT void APIENTRY glTexCoord2f(GLfloat s, GLfloat t)
{
    Record("glTexCoord2f(%.9g, %.9g)", s, t);
    Platform().glTexCoord2f(s, t);
}

EXPORT void APIENTRY glTexCoord2fv(const GLfloat* v)
{
    Record("glTexCoord2fv(%s)", Floats(v, 2));
    Platform().glTexCoord2fv(v);
}

EXPORT void APIENTRY glTexCoord3f(GLfloat s, GLfloat t, GLfloat r)
{
    Record("glTexCoord3f(%.9g, %.9g, %.9g)", s, t, r);
    Platform().glTexCoord3f(s, t, r);
}

EXPORT void APIENTRY glTexCoord3fv(const GLfloat* v)
{
    Record("glTexCoord3fv(%s)", Floats(v, 3));
    Platform().glTexCoord3fv(v);
}

EXPORT void APIENTRY glTexEnvf(GLenum target, GLenum pname, GLfloat param)
{
    Record("glTexEnvf(0x%04X, 0x%04X, %.9g)", target, pname, param);
    Platform().glTexEnvf(target, pname, param);
}

EXPORT void APIENTRY glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width,
                                  GLsizei height, GLint border, GLenum format, GLenum type,
                                  const GLvoid* pixels)
{
    Record("glTexImage2D(0x%04X, %d, %d, %d, %d, %d, 0x%04X, 0x%04X, %s)", target, level,
           internalformat, width, height, border, format, type,
           Pixels(width, height, format, type, pixels));
    Platform().glTexImage2D(target, level, internalformat, width, height, border, format, type,
                            pixels);
}

EXPORT void APIENTRY glTexParameterf(GLenum target, GLenum pname, GLfloat param)
{
    Record("glTexParameterf(0x%04X, 0x%04X, %.9g)", target, pname, param);
    Platform().glTexParameterf(target, pname, param);
}

EXPORT void APIENTRY glTranslatef(GLfloat x, GLfloat y, GLfloat z)
{
    Record("glTranslatef(%.9g, %.9g, %.9g)", x, y, z);
    Platform().glTranslatef(x, y, z);
}

EXPORT void APIENTRY glVertex2f(GLfloat x, GLfloat y)
{
    Record("glVertex2f(%.9g, %.9g)", x, y);
    Platform().glVertex2f(x, y);
}

EXPORT void APIENTRY glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    Record("glVertex3f(%.9g, %.9g, %.9g)", x, y, z);
    Platform().glVertex3f(x, y, z);
}

EXPORT void APIENTRY glVertex3fv(const GLfloat* v)
{
    Record("glVertex3fv(%s)", Floats(v, 3));
    Platform().glVertex3fv(v);
}

EXPORT void APIENTRY glVertex4f(GLfloat x, GLfloat y, GLfloat z, GLfloat w)
{
    Record("glVertex4f(%.9g, %.9g, %.9g, %.9g)", x, y, z, w);
    Platform().glVertex4f(x, y, z, w);
}

EXPORT void APIENTRY glViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    Record("glViewport(%d, %d, %d, %d)", x, y, width, height);
    Platform().glViewport(x, y, width, height);
}
