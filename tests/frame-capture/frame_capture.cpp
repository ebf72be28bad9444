// A stand-in for opengl32.dll that keeps the frames a running program draws.
// Placed beside the program under the name "opengl32.dll" (the program's
// folder is searched first), it loads the system's opengl32.dll by its full
// path and passes every export on to it unchanged: each export is a jump
// through a slot filled from the system library when this one is loaded.
// Only the two swap exports are its own: when SAVER_CAPTURE_DIR names a
// folder, they read the back buffer back before passing the swap on and keep
// it there as frame-NNNN.bmp, one frame every SAVER_CAPTURE_INTERVAL_MS
// milliseconds (default 100) up to SAVER_CAPTURE_LIMIT frames (default 50).
// frames.txt in that folder gets one line per kept frame: its number, the
// milliseconds since the first swap, its width and height.
// GDI's SwapBuffers looks wglSwapBuffers up in the loaded opengl32.dll, so a
// program that swaps through GDI arrives here too.
#define _GDI32_  // declare the wgl* functions without dllimport: two are defined here
#include <windows.h>
#include <GL/gl.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifndef GL_BGR_EXT
#define GL_BGR_EXT 0x80E0
#endif

// The system library's export behind each forwarded name, one slot a name.
#define FORWARD(name) __attribute__((used)) void* real_##name = nullptr;
extern "C" {
#include "forwarded.inc"
}
#undef FORWARD

// Each forwarded name: an undecorated export that jumps through its slot.
#if defined(__x86_64__)
#define FORWARD(name)                                                        \
    asm(".text\n.globl " #name "\n" #name ":\n\tjmp *real_" #name "(%rip)\n" \
        ".section .drectve\n.ascii \" -export:" #name "\"\n.text\n");
#else
#define FORWARD(name)                                                     \
    asm(".text\n.globl _" #name "\n_" #name ":\n\tjmp *_real_" #name "\n" \
        ".section .drectve\n.ascii \" -export:" #name "\"\n.text\n");
#endif
#include "forwarded.inc"
#undef FORWARD

namespace {

// One forwarded name and the slot it fills.
struct ForwardSlot {
    const char* name;
    void** slot;
};

const ForwardSlot forwardSlots[] = {
#define FORWARD(name) {#name, &real_##name},
#include "forwarded.inc"
#undef FORWARD
};

// The system library's functions this library calls itself.
struct SystemGl {
    BOOL(WINAPI* wglSwapBuffers)(HDC);
    BOOL(WINAPI* wglSwapLayerBuffers)(HDC, UINT);
    HGLRC(WINAPI* wglGetCurrentContext)();
    void(APIENTRY* glGetIntegerv)(GLenum, GLint*);
    void(APIENTRY* glPixelStorei)(GLenum, GLint);
    void(APIENTRY* glReadPixels)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, GLvoid*);
};

// Where and how often frames are kept, and what has been kept so far.
struct CaptureState {
    HMODULE system;
    SystemGl gl;
    char folder[MAX_PATH];
    DWORD interval;
    int limit;
    int kept;
    bool started;
    DWORD firstSwap;
    DWORD lastKept;
    unsigned char* pixels;
    DWORD pixelsSize;
};
CaptureState capture;

// Looks one system function up by name.
template <typename Proc>
void Resolve(const char* name, Proc& proc)
{
    proc = reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(capture.system, name)));
}

// Loads the system's opengl32.dll by its full path and fills every slot.
bool LoadSystemLibrary()
{
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH - 16);
    if (length == 0 || length >= MAX_PATH - 16)
        return false;
    strcat(path, "\\opengl32.dll");
    capture.system = LoadLibraryA(path);
    if (!capture.system)
        return false;
    for (const ForwardSlot& forward : forwardSlots)
        *forward.slot = reinterpret_cast<void*>(GetProcAddress(capture.system, forward.name));
    Resolve("wglSwapBuffers", capture.gl.wglSwapBuffers);
    Resolve("wglSwapLayerBuffers", capture.gl.wglSwapLayerBuffers);
    Resolve("wglGetCurrentContext", capture.gl.wglGetCurrentContext);
    Resolve("glGetIntegerv", capture.gl.glGetIntegerv);
    Resolve("glPixelStorei", capture.gl.glPixelStorei);
    Resolve("glReadPixels", capture.gl.glReadPixels);
    return true;
}

// A whole number from the environment, or the fallback when unset or bad.
long EnvironmentNumber(const char* name, long fallback)
{
    const char* text = getenv(name);
    if (!text || !*text)
        return fallback;
    char* end;
    long value = strtol(text, &end, 10);
    return (*end || value < 0) ? fallback : value;
}

// Reads the capture settings from the environment.
void ReadCaptureSettings()
{
    const char* folder = getenv("SAVER_CAPTURE_DIR");
    if (folder && strlen(folder) < sizeof capture.folder - 32)
        strcpy(capture.folder, folder);
    capture.interval = static_cast<DWORD>(EnvironmentNumber("SAVER_CAPTURE_INTERVAL_MS", 100));
    capture.limit = static_cast<int>(EnvironmentNumber("SAVER_CAPTURE_LIMIT", 50));
}

// Writes a whole buffer to a file; false when any of it is not written.
bool WriteAll(HANDLE file, const void* data, DWORD size)
{
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

// Appends one line to frames.txt in the capture folder.
void NoteFrame(int number, DWORD ms, LONG width, LONG height)
{
    char path[MAX_PATH], line[80];
    snprintf(path, sizeof path, "%s\\frames.txt", capture.folder);
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    int length = snprintf(line, sizeof line, "%04d %lu %ld %ld\n", number,
                          static_cast<unsigned long>(ms), static_cast<long>(width),
                          static_cast<long>(height));
    WriteAll(file, line, static_cast<DWORD>(length));
    CloseHandle(file);
}

// Saves 24-bit bottom-up pixel rows, each padded to four bytes, as a BMP.
bool SaveBitmap(const char* path, LONG width, LONG height, const unsigned char* rows,
                DWORD rowsSize)
{
    BITMAPFILEHEADER fileHeader = {};
    BITMAPINFOHEADER info = {};
    fileHeader.bfType = 0x4D42;  // "BM"
    fileHeader.bfOffBits = sizeof fileHeader + sizeof info;
    fileHeader.bfSize = fileHeader.bfOffBits + rowsSize;
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = rowsSize;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool written = WriteAll(file, &fileHeader, sizeof fileHeader) &&
                   WriteAll(file, &info, sizeof info) && WriteAll(file, rows, rowsSize);
    CloseHandle(file);
    return written;
}

// Whether the frame about to be swapped is one to keep.
bool FrameDue(DWORD now)
{
    if (!capture.folder[0] || capture.kept >= capture.limit)
        return false;
    if (!capture.started) {
        capture.started = true;
        capture.firstSwap = now;
        return true;
    }
    return now - capture.lastKept >= capture.interval;
}

// Reads the back buffer of the window behind dc and keeps it as the next frame.
void KeepFrame(HDC dc, DWORD now)
{
    RECT client;
    HWND window = WindowFromDC(dc);
    if (!window || !GetClientRect(window, &client) || !capture.gl.wglGetCurrentContext())
        return;
    LONG width = client.right - client.left, height = client.bottom - client.top;
    if (width <= 0 || height <= 0)
        return;
    DWORD rowSize = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    DWORD size = rowSize * static_cast<DWORD>(height);
    if (size > capture.pixelsSize) {
        free(capture.pixels);
        capture.pixels = static_cast<unsigned char*>(malloc(size));
        capture.pixelsSize = capture.pixels ? size : 0;
        if (!capture.pixels)
            return;
    }
    GLint alignment = 4;
    capture.gl.glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    capture.gl.glPixelStorei(GL_PACK_ALIGNMENT, 4);
    capture.gl.glReadPixels(0, 0, width, height, GL_BGR_EXT, GL_UNSIGNED_BYTE, capture.pixels);
    capture.gl.glPixelStorei(GL_PACK_ALIGNMENT, alignment);

    char path[MAX_PATH];
    int number = capture.kept + 1;
    snprintf(path, sizeof path, "%s\\frame-%04d.bmp", capture.folder, number);
    if (!SaveBitmap(path, width, height, capture.pixels, size))
        return;
    capture.kept = number;
    capture.lastKept = now;
    NoteFrame(number, now - capture.firstSwap, width, height);
}

}  // namespace

// Keeps the frame when one is due, then swaps through the system library.
extern "C" __declspec(dllexport) BOOL WINAPI wglSwapBuffers(HDC dc)
{
    DWORD now = GetTickCount();
    if (FrameDue(now))
        KeepFrame(dc, now);
    return capture.gl.wglSwapBuffers ? capture.gl.wglSwapBuffers(dc) : FALSE;
}

// Keeps the frame of a main-plane swap when one is due, then swaps through
// the system library.
extern "C" __declspec(dllexport) BOOL WINAPI wglSwapLayerBuffers(HDC dc, UINT planes)
{
    DWORD now = GetTickCount();
    if ((planes & WGL_SWAP_MAIN_PLANE) && FrameDue(now))
        KeepFrame(dc, now);
    return capture.gl.wglSwapLayerBuffers ? capture.gl.wglSwapLayerBuffers(dc, planes) : FALSE;
}

// Loads the system library when this one is loaded; refuses to load without it.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    ReadCaptureSettings();
    return LoadSystemLibrary();
}
