#pragma once
// The table of OpenGL entry points that the scene draws through and its
// forwarding calls, DriverGl::glBegin(...) and so on. Free of any windowing
// system's headers: the Windows layer fills the table from the chosen driver
// library, the X11 layer from the system's libGL.
#ifdef _WIN32
// <GL/gl.h> and <GL/glu.h> take these from <windows.h> unless they are
// defined; spelled exactly as there, so either may be included first.
#ifndef WINAPI
#define WINAPI __stdcall
#endif
#ifndef APIENTRY
#define APIENTRY WINAPI
#endif
#ifndef CALLBACK
#define CALLBACK __stdcall
#endif
#ifndef DECLSPEC_IMPORT
#define DECLSPEC_IMPORT __declspec (dllimport)
#endif
#ifndef WINGDIAPI
#define WINGDIAPI DECLSPEC_IMPORT
#endif
// The driver library's module handle, the type <windows.h> calls HMODULE.
typedef struct HINSTANCE__* GlLibraryHandle;
#else
// The dlopen handle of the system's libGL.
typedef void* GlLibraryHandle;
#endif
#include <GL/gl.h>

// The process-wide table of the driver library's OpenGL entry points.
struct GlEntryTable {
    GlLibraryHandle driverLibrary;
    int useDriverWgl;
#define GL_ENTRY(result, name, params, args) result(APIENTRY* name) params;
#include "gl_entries.inc"
#undef GL_ENTRY
};
extern GlEntryTable glEntries;

// One entry point to resolve: its name and the table slot it fills.
struct GlEntrySlot {
    const char* name;
    void* slot;
};

// The 51 entry points in lookup order, each with its slot in glEntries.
extern const GlEntrySlot glEntrySlots[51];

// OpenGL calls on the driver library: DriverGl::glBegin(...) and so on, one
// indirect call each. The unqualified names stay the platform library's own.
namespace DriverGl {
#define GL_ENTRY(result, name, params, args) \
    inline result name params { return glEntries.name args; }
#include "gl_entries.inc"
#undef GL_ENTRY
}
