#pragma once
// The OpenGL driver library chosen at start, its entry table, and the WGL
// operations that decide between GDI and the driver's own exports.
#include <windows.h>
#include "gl_entry_table.h"

// Names the driver library to load: a card's standalone driver when one is
// installed, else "opengl32.dll". name has room for at least 13 characters.
void ChooseDriverLibrary(char* name);

// Loads the named library and resolves all 51 entries: 0, or -1 on failure.
int LoadDriverLibrary(const char* name);

// Frees the driver library; the result of FreeLibrary.
BOOL FreeDriverLibrary();

// WGL operations. The four with a GDI counterpart ask GDI first while
// useDriverWgl is 0; otherwise, or when GDI fails, the driver library's wgl*
// export of the same name does the work. 0 (FALSE, null) means failure.
HGLRC DriverCreateContext(HDC dc);
BOOL DriverDeleteContext(HGLRC context);
BOOL DriverMakeCurrent(HDC dc, HGLRC context);
BOOL DriverSwapBuffers(HDC dc);
int DriverChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* format);
int DriverDescribePixelFormat(HDC dc, int format, UINT size, PIXELFORMATDESCRIPTOR* description);
BOOL DriverSetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* description);
