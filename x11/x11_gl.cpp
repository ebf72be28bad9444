#include "x11_gl.h"

#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include "gl_entry_table.h"

namespace {

const char kSystemGl[] = "libGL.so.1";

}  // namespace

// Opens libGL and fills the entry table by name.
int LoadSystemGl()
{
    glEntries.driverLibrary = dlopen(kSystemGl, RTLD_NOW | RTLD_GLOBAL);
    if (!glEntries.driverLibrary) {
        fprintf(stderr, "opengl-saver: cannot open %s: %s\n", kSystemGl, dlerror());
        return -1;
    }
    for (const GlEntrySlot& entry : glEntrySlots) {
        void* proc = dlsym(glEntries.driverLibrary, entry.name);
        if (!proc) {
            fprintf(stderr, "opengl-saver: %s lacks %s\n", kSystemGl, entry.name);
            return -1;
        }
        memcpy(entry.slot, &proc, sizeof proc);
    }
    return 0;
}
