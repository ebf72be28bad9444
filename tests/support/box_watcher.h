#pragma once
#include <windows.h>
#include <string>
#include <vector>

// A message box seen on screen, as the user would have read it.
struct SeenBox {
    std::string caption;
    std::string text;
    bool hasIcon = false;      // an icon beside the text (MB_ICONHAND and friends)
    int buttonCount = 0;       // push buttons in the box (1 for MB_OK)
    HWND owner = nullptr;      // owner window the box was given, or null
    DWORD processId = 0;       // process that showed it
};

// Starts watching for message boxes of the given process (0: this process).
// Every box found is recorded and then dismissed with IDOK.
void StartBoxWatcher(DWORD processId = 0);

// Stops the watcher and returns every box recorded since it started.
std::vector<SeenBox> StopBoxWatcher();

// RAII form for one test: watches while in scope.
class BoxWatch {
public:
    explicit BoxWatch(DWORD processId = 0) { StartBoxWatcher(processId); }
    ~BoxWatch() { if (!stopped_) StopBoxWatcher(); }
    // Stops watching and returns the boxes seen.
    std::vector<SeenBox> Stop() { stopped_ = true; return StopBoxWatcher(); }
private:
    bool stopped_ = false;
};
