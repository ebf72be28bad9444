#include "gl_entry_table.h"

GlEntryTable glEntries;

const GlEntrySlot glEntrySlots[] = {
#define GL_ENTRY(result, name, params, args) {#name, &glEntries.name},
#include "gl_entries.inc"
#undef GL_ENTRY
};
