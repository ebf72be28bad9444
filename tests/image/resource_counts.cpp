#include "resource_counts.h"

#include <windows.h>
#include <winternl.h>

#include <vector>

namespace {

// One entry of the GDI handle table, in Wine's layout (the same for 32-bit
// and 64-bit processes, and that of 64-bit Windows).
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

// Offsets in the thread and process environment blocks.
const size_t kTeb32GdiBatchCount = 0xF70;
const size_t kTeb64Peb = 0x60;
const size_t kPeb32GdiSharedHandleTable = 0x94;
const size_t kPeb64GdiSharedHandleTable = 0xF8;

// The 64-bit-wide value at an address of this process.
ULONGLONG Read64(ULONGLONG address)
{
    return *reinterpret_cast<const ULONGLONG*>(static_cast<UINT_PTR>(address));
}

// What ThreadBasicInformation answers.
struct ThreadBasics {
    NTSTATUS exitStatus;
    PVOID teb;
    CLIENT_ID clientId;
    KAFFINITY affinityMask;
    LONG priority;
    LONG basePriority;
};

// The GDI handle table. Wine runs a 32-bit process beside 64-bit thread and
// process blocks and publishes the table in the 64-bit one only; the 32-bit
// thread block's GdiBatchCount holds the 64-bit block's address then.
const GdiTableEntry* GdiHandleTable()
{
    ThreadBasics thread = {};
    if (sizeof(void*) == 4
        && !NtQueryInformationThread(GetCurrentThread(), ThreadBasicInformation, &thread, sizeof thread, nullptr)) {
        const char* teb = static_cast<const char*>(thread.teb);
        const ULONG teb64 = *reinterpret_cast<const ULONG*>(teb + kTeb32GdiBatchCount);
        if (teb64) {
            const ULONGLONG peb64 = Read64(ULONGLONG(teb64) + kTeb64Peb);
            return reinterpret_cast<const GdiTableEntry*>(
                static_cast<UINT_PTR>(Read64(peb64 + kPeb64GdiSharedHandleTable)));
        }
    }
    PROCESS_BASIC_INFORMATION basic = {};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr))
        return nullptr;
    const char* peb = reinterpret_cast<const char*>(basic.PebBaseAddress);
    const size_t tableField = sizeof(void*) == 8 ? kPeb64GdiSharedHandleTable : kPeb32GdiSharedHandleTable;
    return *reinterpret_cast<GdiTableEntry* const*>(peb + tableField);
}

int CountGdiObjects()
{
    const GdiTableEntry* table = GdiHandleTable();
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

ResourceCounts CountResourcesOnceBackTo(const ResourceCounts& before)
{
    const DWORD start = GetTickCount();
    ResourceCounts now = CountResources();
    for (; !(now == before) && GetTickCount() - start < 5000; now = CountResources())
        Sleep(10);
    return now;
}
