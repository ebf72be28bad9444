#include "import_hook.h"

#include <windows.h>
#include <string.h>

namespace {

// Address of a part of the program's image from its relative address.
template <typename T>
T* AtOffset(HMODULE image, DWORD offset)
{
    return reinterpret_cast<T*>(reinterpret_cast<char*>(image) + offset);
}

// The import address table slot of library!function, or null.
void** FindImportSlot(const char* library, const char* function)
{
    HMODULE image = GetModuleHandleA(nullptr);
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    const IMAGE_NT_HEADERS* nt = AtOffset<IMAGE_NT_HEADERS>(image, dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!directory.VirtualAddress)
        return nullptr;
    for (IMAGE_IMPORT_DESCRIPTOR* entry =
             AtOffset<IMAGE_IMPORT_DESCRIPTOR>(image, directory.VirtualAddress);
         entry->Name; ++entry) {
        if (_stricmp(AtOffset<char>(image, entry->Name), library) != 0)
            continue;
        // The name table runs beside the address table, slot for slot.
        DWORD names = entry->OriginalFirstThunk ? entry->OriginalFirstThunk : entry->FirstThunk;
        IMAGE_THUNK_DATA* name = AtOffset<IMAGE_THUNK_DATA>(image, names);
        IMAGE_THUNK_DATA* slot = AtOffset<IMAGE_THUNK_DATA>(image, entry->FirstThunk);
        for (; name->u1.AddressOfData; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal))
                continue;
            const IMAGE_IMPORT_BY_NAME* byName = AtOffset<IMAGE_IMPORT_BY_NAME>(
                image, static_cast<DWORD>(name->u1.AddressOfData));
            if (strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slot->u1.Function);
        }
    }
    return nullptr;
}

}  // namespace

void* ReplaceImport(const char* library, const char* function, void* replacement)
{
    void** slot = FindImportSlot(library, function);
    if (!slot)
        return nullptr;
    DWORD protection;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection))
        return nullptr;
    void* previous = *slot;
    *slot = replacement;
    VirtualProtect(slot, sizeof *slot, protection, &protection);
    return previous;
}
