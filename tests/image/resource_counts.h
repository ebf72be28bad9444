#pragma once
// Counts of what a call could leak: GDI objects, kernel handles and mapped
// views of this process. GetGuiResources and GetProcessHandleCount answer 0
// under Wine, so the counts are read from the GDI handle table Wine's process
// environment block points to, from the system's handle list and from the
// address space.

struct ResourceCounts {
    int gdiObjects;
    int handles;
    int mappedViews;
};

// Takes the counts now; a count that cannot be read is -1.
ResourceCounts CountResources();

// Takes the counts once they are back to the given ones (the system frees
// what a dismissed message box held a moment after the box returns), or
// after a few seconds, as they are then: a leak.
ResourceCounts CountResourcesOnceBackTo(const ResourceCounts& before);

inline bool operator==(const ResourceCounts& a, const ResourceCounts& b)
{
    return a.gdiObjects == b.gdiObjects && a.handles == b.handles && a.mappedViews == b.mappedViews;
}
