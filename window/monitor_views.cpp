#include "monitor_views.h"

#include "saver_state.h"

MonitorViewsState monitorViews;

namespace {

// The monitor functions of Windows 98 and 2000 on, looked up at run time.
typedef BOOL (WINAPI *EnumDisplayMonitorsProc)(HDC, LPCRECT, MONITORENUMPROC, LPARAM);
typedef BOOL (WINAPI *GetMonitorInfoAProc)(HMONITOR, LPMONITORINFO);

// What one listing of the monitors works with.
struct MonitorListing {
    GetMonitorInfoAProc getMonitorInfo;
    HWND child;
    RECT client;  // the child's client area
};

// The part of the child's client area that a monitor shows, in client
// coordinates; false when the monitor shows none of it.
bool MonitorPartOfChild(const MonitorListing& listing, RECT monitor, RECT* part)
{
    POINT corners[2] = {{monitor.left, monitor.top}, {monitor.right, monitor.bottom}};
    ScreenToClient(listing.child, &corners[0]);
    ScreenToClient(listing.child, &corners[1]);
    part->left = corners[0].x > listing.client.left ? corners[0].x : listing.client.left;
    part->top = corners[0].y > listing.client.top ? corners[0].y : listing.client.top;
    part->right = corners[1].x < listing.client.right ? corners[1].x : listing.client.right;
    part->bottom = corners[1].y < listing.client.bottom ? corners[1].y : listing.client.bottom;
    return part->left < part->right && part->top < part->bottom;
}

// Notes one monitor's part of the child as a view, its origin at the
// child's bottom-left corner as OpenGL counts it.
BOOL CALLBACK AddMonitorView(HMONITOR monitor, HDC, LPRECT, LPARAM data)
{
    const MonitorListing& listing = *reinterpret_cast<const MonitorListing*>(data);
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    RECT part;
    if (!listing.getMonitorInfo(monitor, &info) || !MonitorPartOfChild(listing, info.rcMonitor, &part))
        return TRUE;
    SceneView& view = monitorViews.views[monitorViews.count++];
    view.x = part.left;
    view.y = listing.client.bottom - part.bottom;
    view.width = part.right - part.left;
    view.height = part.bottom - part.top;
    return monitorViews.count < kMaxMonitorViews;
}

}  // namespace

void ReadMonitorViews(HWND child)
{
    monitorViews.count = 0;
    HMODULE user32 = GetModuleHandleA("user32.dll");
    EnumDisplayMonitorsProc enumDisplayMonitors =
        FindEntryPoint<EnumDisplayMonitorsProc>(user32, "EnumDisplayMonitors");
    MonitorListing listing = {FindEntryPoint<GetMonitorInfoAProc>(user32, "GetMonitorInfoA"),
                              child, {0, 0, 0, 0}};
    if (saverState.isPreview || !enumDisplayMonitors || !listing.getMonitorInfo)
        return;
    GetClientRect(child, &listing.client);
    enumDisplayMonitors(nullptr, nullptr, AddMonitorView, reinterpret_cast<LPARAM>(&listing));
    if (monitorViews.count < 2)
        monitorViews.count = 0;
}
