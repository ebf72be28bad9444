#include "resource_counts.h"

#include <windows.h>
#include <winternl.h>

#include <vector>

namespace {

// One entry of the GDI handle table, in the layout Wine and 64-bit Windows
// share.
struct GdiTableEntry {
    unsigned long long object;
    unsigned long owner;
    unsigned short unique;
    unsigned char type;
    unsigned char flags;
    unsigned long long user;
};
const int kGdiTableEntries = 0x10000;

// One entry of the system's handle list (SystemHandleInformation).
struct HandleEntry {
    ULONG processId;
    UCHAR objectType;
    UCHAR flags;
    USHORT value;
    PVOID object;
    ACCESS_MASK access;
};
struct HandleList {
    ULONG count;
    HandleEntry entries[1];
};
const SYSTEM_INFORMATION_CLASS kSystemHandleInformation = SYSTEM_INFORMATION_CLASS(16);

int CountGdiObjects()
{
    PROCESS_BASIC_INFORMATION basic = {};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr))
        return -1;
    const char* peb = reinterpret_cast<const char*>(basic.PebBaseAddress);
    const size_t tableField = sizeof(void*) == 8 ? 0xF8 : 0x94;
    const GdiTableEntry* table = *reinterpret_cast<GdiTableEntry* const*>(peb + tableField);
    if (!table) return -1;
    int count = 0;
    for (int i = 0; i < kGdiTableEntries; ++i)
        if (table[i].type) ++count;
    return count;
}

int CountHandles()
{
    std::vector<char> buffer(1 << 20);
    for (;;) {
        ULONG needed = 0;
        NTSTATUS status = NtQuerySystemInformation(kSystemHandleInformation, buffer.data(),
                                                   ULONG(buffer.size()), &needed);
        if (status == NTSTATUS(0xC0000004L) && buffer.size() < (64u << 20)) {  // length mismatch
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0) return -1;
        break;
    }
    const HandleList* list = reinterpret_cast<const HandleList*>(buffer.data());
    int count = 0;
    for (ULONG i = 0; i < list->count; ++i)
        if (list->entries[i].processId == GetCurrentProcessId()) ++count;
    return count;
}

int CountMappedViews()
{
    int count = 0;
    MEMORY_BASIC_INFORMATION region;
    const char* address = nullptr;
    while (VirtualQuery(address, &region, sizeof region)) {
        if (region.Type == MEM_MAPPED && region.State == MEM_COMMIT) ++count;
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= address) break;
        address = next;
    }
    return count;
}

}  // namespace

ResourceCounts CountResources()
{
    return ResourceCounts{CountGdiObjects(), CountHandles(), CountMappedViews()};
}
