#include "gl_driver.h"

#include <string.h>

namespace {

typedef HGLRC(WINAPI* CreateContextProc)(HDC);
typedef BOOL(WINAPI* DeleteContextProc)(HGLRC);
typedef BOOL(WINAPI* MakeCurrentProc)(HDC, HGLRC);
typedef BOOL(WINAPI* SwapBuffersProc)(HDC);
typedef int(WINAPI* ChoosePixelFormatProc)(HDC, const PIXELFORMATDESCRIPTOR*);
typedef int(WINAPI* DescribePixelFormatProc)(HDC, int, UINT, PIXELFORMATDESCRIPTOR*);
typedef BOOL(WINAPI* SetPixelFormatProc)(HDC, int, const PIXELFORMATDESCRIPTOR*);

// Loads a library only to see whether it is installed, and releases it.
bool LibraryLoads(const char* file)
{
    HMODULE probe = LoadLibraryA(file);
    if (!probe)
        return false;
    FreeLibrary(probe);
    return true;
}

// Looks up one of the driver library's wgl* exports, afresh at every call:
// null when no library is loaded or it lacks the export.
template <typename Proc>
Proc DriverExport(const char* name)
{
    if (!glEntries.driverLibrary)
        return nullptr;
    return reinterpret_cast<Proc>(
        reinterpret_cast<void (*)()>(GetProcAddress(glEntries.driverLibrary, name)));
}

// Looks up a pixel-format export; once a pixel-format call reaches the
// driver, GDI is no longer asked for pixel formats or swaps.
template <typename Proc>
Proc PixelFormatExport(const char* name)
{
    Proc proc = DriverExport<Proc>(name);
    if (proc)
        glEntries.useDriverWgl = 1;
    return proc;
}

}  // namespace

// Probes for a card's standalone driver; "opengl32.dll" when none is found.
void ChooseDriverLibrary(char* name)
{
    if (LibraryLoads("3dfxgl.dll"))
        strcpy(name, "3dfxgl.dll");
    else if (LibraryLoads("pvrhal32.dll"))
        strcpy(name, "pvrgl.dll");
    else
        strcpy(name, "opengl32.dll");
}

// Loads the driver library and fills the entry table in lookup order.
int LoadDriverLibrary(const char* name)
{
    glEntries.driverLibrary = LoadLibraryA(name);
    if (!glEntries.driverLibrary) {
        MessageBoxA(GetFocus(), "Could not open OpenGL Library", "Error", MB_OK);
        return -1;
    }
    for (const GlEntrySlot& entry : glEntrySlots) {
        FARPROC proc = GetProcAddress(glEntries.driverLibrary, entry.name);
        memcpy(entry.slot, &proc, sizeof proc);
        if (!proc)
            return -1;
    }
    if (strcmp(name, "opengl32.dll") != 0)
        glEntries.useDriverWgl = 1;
    return 0;
}

// Releases the driver library; the slots keep their stale pointers.
BOOL FreeDriverLibrary()
{
    BOOL freed = FreeLibrary(glEntries.driverLibrary);
    glEntries.driverLibrary = nullptr;
    return freed;
}

// Creates a rendering context through the driver's wglCreateContext.
HGLRC DriverCreateContext(HDC dc)
{
    CreateContextProc create = DriverExport<CreateContextProc>("wglCreateContext");
    return create ? create(dc) : nullptr;
}

// Deletes a rendering context through the driver's wglDeleteContext.
BOOL DriverDeleteContext(HGLRC context)
{
    DeleteContextProc remove = DriverExport<DeleteContextProc>("wglDeleteContext");
    return remove ? remove(context) : FALSE;
}

// Makes a context current through the driver's wglMakeCurrent.
BOOL DriverMakeCurrent(HDC dc, HGLRC context)
{
    MakeCurrentProc makeCurrent = DriverExport<MakeCurrentProc>("wglMakeCurrent");
    return makeCurrent ? makeCurrent(dc, context) : FALSE;
}

// Swaps buffers with GDI while it serves, else with the driver's wglSwapBuffers.
BOOL DriverSwapBuffers(HDC dc)
{
    if (!glEntries.useDriverWgl) {
        BOOL swapped = SwapBuffers(dc);
        if (swapped)
            return swapped;
    }
    SwapBuffersProc swap = DriverExport<SwapBuffersProc>("wglSwapBuffers");
    return swap ? swap(dc) : FALSE;
}

// Chooses a pixel format with GDI while it serves, else with the driver.
int DriverChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* format)
{
    if (!glEntries.useDriverWgl) {
        int chosen = ChoosePixelFormat(dc, format);
        if (chosen)
            return chosen;
    }
    ChoosePixelFormatProc choose = PixelFormatExport<ChoosePixelFormatProc>("wglChoosePixelFormat");
    return choose ? choose(dc, format) : 0;
}

// Describes a pixel format with GDI while it serves, else with the driver.
int DriverDescribePixelFormat(HDC dc, int format, UINT size, PIXELFORMATDESCRIPTOR* description)
{
    if (!glEntries.useDriverWgl) {
        int count = DescribePixelFormat(dc, format, size, description);
        if (count)
            return count;
    }
    DescribePixelFormatProc describe =
        PixelFormatExport<DescribePixelFormatProc>("wglDescribePixelFormat");
    return describe ? describe(dc, format, size, description) : 0;
}

// Sets the pixel format with GDI while it serves, else with the driver.
BOOL DriverSetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* description)
{
    if (!glEntries.useDriverWgl) {
        BOOL set = SetPixelFormat(dc, format, description);
        if (set)
            return set;
    }
    SetPixelFormatProc setFormat = PixelFormatExport<SetPixelFormatProc>("wglSetPixelFormat");
    return setFormat ? setFormat(dc, format, description) : FALSE;
}
