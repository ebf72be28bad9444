// A stand-in for the system's DirectDraw library, loaded instead of it with
// WINEDLLOVERRIDES="ddraw=n" from the folder of the program under test. It
// switches nothing: it answers as DDRAW_DOUBLE_MODE says and appends each
// call to the file named by DDRAW_DOUBLE_FILE, one line each.
//   DDRAW_DOUBLE_MODE   accept         every request succeeds
//                       refuse-create  DirectDrawCreate fails
//                       refuse-level   SetCooperativeLevel fails
//                       refuse-mode    SetDisplayMode fails
// Lines: "DirectDrawCreate = 0x...", "SetCooperativeLevel(<class of the
// window>, top-level|child|null, 0x...) = 0x...", "SetDisplayMode(w, h, bpp)
// = 0x...", "Release = n, screen WxHxB" (the display mode at that moment),
// and "other <method>" for anything else.
#include <windows.h>
#include <ddraw.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#define EXPORT extern "C" __declspec(dllexport)

namespace {

// Appends a formatted line to the double's log file.
void Log(const char* format, ...)
{
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("DDRAW_DOUBLE_FILE", path, sizeof path);
    if (!length || length >= sizeof path)
        return;
    char line[300];
    va_list args;
    va_start(args, format);
    int size = vsnprintf(line, sizeof line - 2, format, args);
    va_end(args);
    if (size < 0 || size > static_cast<int>(sizeof line - 3))
        size = static_cast<int>(sizeof line - 3);
    line[size++] = '\r';
    line[size++] = '\n';
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(file, line, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
}

// True when DDRAW_DOUBLE_MODE is the given word.
bool ModeIs(const char* word)
{
    char mode[32] = {};
    GetEnvironmentVariableA("DDRAW_DOUBLE_MODE", mode, sizeof mode);
    return strcmp(mode, word) == 0;
}

// The answer to a request: DDERR_GENERIC when this request is to fail.
HRESULT Answer(const char* refusingMode)
{
    return ModeIs(refusingMode) ? DDERR_GENERIC : DD_OK;
}

// A window as the log names it: its class and where it sits.
void DescribeWindow(HWND window, char* text, size_t size)
{
    if (!window) {
        snprintf(text, size, "null");
        return;
    }
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    snprintf(text, size, "%s, %s", className,
             (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) ? "child" : "top-level");
}

// The DirectDraw object: logs and answers, holds a reference count.
class FakeDirectDraw final : public IDirectDraw {
public:
    STDMETHOD(QueryInterface)(REFIID, void** object)
    {
        Log("other QueryInterface");
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)()
    {
        Log("other AddRef");
        return ++references_;
    }
    STDMETHOD_(ULONG, Release)()
    {
        ULONG left = --references_;
        DEVMODEA screen = {};
        screen.dmSize = sizeof screen;
        EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &screen);
        Log("Release = %lu, screen %lux%lux%lu", left, screen.dmPelsWidth, screen.dmPelsHeight,
            screen.dmBitsPerPel);
        if (!left)
            delete this;
        return left;
    }
    STDMETHOD(Compact)() { return Other("Compact"); }
    STDMETHOD(CreateClipper)(DWORD, LPDIRECTDRAWCLIPPER*, IUnknown*) { return Other("CreateClipper"); }
    STDMETHOD(CreatePalette)(DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE*, IUnknown*)
    {
        return Other("CreatePalette");
    }
    STDMETHOD(CreateSurface)(LPDDSURFACEDESC, LPDIRECTDRAWSURFACE*, IUnknown*)
    {
        return Other("CreateSurface");
    }
    STDMETHOD(DuplicateSurface)(LPDIRECTDRAWSURFACE, LPDIRECTDRAWSURFACE*)
    {
        return Other("DuplicateSurface");
    }
    STDMETHOD(EnumDisplayModes)(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMMODESCALLBACK)
    {
        return Other("EnumDisplayModes");
    }
    STDMETHOD(EnumSurfaces)(DWORD, LPDDSURFACEDESC, LPVOID, LPDDENUMSURFACESCALLBACK)
    {
        return Other("EnumSurfaces");
    }
    STDMETHOD(FlipToGDISurface)() { return Other("FlipToGDISurface"); }
    STDMETHOD(GetCaps)(LPDDCAPS, LPDDCAPS) { return Other("GetCaps"); }
    STDMETHOD(GetDisplayMode)(LPDDSURFACEDESC) { return Other("GetDisplayMode"); }
    STDMETHOD(GetFourCCCodes)(LPDWORD, LPDWORD) { return Other("GetFourCCCodes"); }
    STDMETHOD(GetGDISurface)(LPDIRECTDRAWSURFACE*) { return Other("GetGDISurface"); }
    STDMETHOD(GetMonitorFrequency)(LPDWORD) { return Other("GetMonitorFrequency"); }
    STDMETHOD(GetScanLine)(LPDWORD) { return Other("GetScanLine"); }
    STDMETHOD(GetVerticalBlankStatus)(WINBOOL*) { return Other("GetVerticalBlankStatus"); }
    STDMETHOD(Initialize)(GUID*) { return Other("Initialize"); }
    STDMETHOD(RestoreDisplayMode)() { return Other("RestoreDisplayMode"); }
    STDMETHOD(SetCooperativeLevel)(HWND window, DWORD flags)
    {
        char text[100];
        DescribeWindow(window, text, sizeof text);
        HRESULT result = Answer("refuse-level");
        Log("SetCooperativeLevel(%s, 0x%lX) = 0x%lX", text, flags, static_cast<unsigned long>(result));
        return result;
    }
    STDMETHOD(SetDisplayMode)(DWORD width, DWORD height, DWORD bitsPerPixel)
    {
        HRESULT result = Answer("refuse-mode");
        Log("SetDisplayMode(%lu, %lu, %lu) = 0x%lX", width, height, bitsPerPixel,
            static_cast<unsigned long>(result));
        return result;
    }
    STDMETHOD(WaitForVerticalBlank)(DWORD, HANDLE) { return Other("WaitForVerticalBlank"); }

private:
    // Logs a method the saver is not expected to call.
    HRESULT Other(const char* name)
    {
        Log("other %s", name);
        return DDERR_UNSUPPORTED;
    }

    ULONG references_ = 1;
};

}  // namespace

// Creates the object unless the mode refuses it.
EXPORT HRESULT WINAPI DirectDrawCreate(GUID* driver, LPDIRECTDRAW* object, IUnknown* outer)
{
    HRESULT result = Answer("refuse-create");
    Log("DirectDrawCreate(%s, %s) = 0x%lX", driver ? "guid" : "null", outer ? "outer" : "null",
        static_cast<unsigned long>(result));
    if (SUCCEEDED(result))
        *object = new FakeDirectDraw;
    return result;
}
