#include "x11_gl.h"

#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include "gl_entry_table.h"

GlEntryTable glEntries;

namespace {

const char kSystemGl[] = "libGL.so.1";

// One entry point to resolve: its name and the table slot it fills.
struct EntrySlot {
    const char* name;
    void* slot;
};

// The 51 entry points, each with its slot in glEntries.
const EntrySlot entrySlots[] = {
#define GL_ENTRY(result, name, params, args) {#name, &glEntries.name},
#include "gl_entries.inc"
#undef GL_ENTRY
};

}  // namespace

int LoadSystemGl()
{
    glEntries.driverLibrary = dlopen(kSystemGl, RTLD_NOW | RTLD_GLOBAL);
    if (!glEntries.driverLibrary) {
        fprintf(stderr, "opengl-saver: cannot open %s: %s\n", kSystemGl, dlerror());
        return -1;
    }
    for (const EntrySlot& entry : entrySlots) {
        void* proc = dlsym(glEntries.driverLibrary, entry.name);
        if (!proc) {
            fprintf(stderr, "opengl-saver: %s lacks %s\n", kSystemGl, entry.name);
            return -1;
        }
        memcpy(entry.slot, &proc, sizeof proc);
    }
    return 0;
}
