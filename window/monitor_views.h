#pragma once
// The monitors a full-screen GL child spans, each shown a whole scene of its
// own.
#include <windows.h>

#include "scene_frame.h"

// More monitors than this share the views of the first ones.
const int kMaxMonitorViews = 16;

// The parts of the GL child that the monitors show, as views of the scene.
struct MonitorViewsState {
    int count;  // 0: one scene over the whole child, as on one monitor
    SceneView views[kMaxMonitorViews];
};
extern MonitorViewsState monitorViews;

// Reads the monitors again and notes the part of the child each one shows.
// None where the system cannot list its monitors (Windows 95 and NT 4), for a
// preview, or where the child lies on one monitor.
void ReadMonitorViews(HWND child);
