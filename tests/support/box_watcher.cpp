#include "box_watcher.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace {

// Child ids of the platform's message-box dialog.
const int kBoxTextId = 0xFFFF;
const int kBoxIconId = 0x0440;

struct WatcherState {
    std::thread thread;
    std::atomic<bool> running{false};
    std::mutex lock;
    std::vector<SeenBox> seen;
    std::vector<HWND> dismissed;
    DWORD processId = 0;
};
WatcherState watcher;

// Reads a window's text into a std::string.
std::string WindowText(HWND window)
{
    char buffer[1024] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

// Counts the push buttons among a dialog's children.
BOOL CALLBACK CountButton(HWND child, LPARAM counter)
{
    char className[32] = {};
    GetClassNameA(child, className, sizeof className);
    LONG style = GetWindowLongA(child, GWL_STYLE);
    if (lstrcmpiA(className, "Button") == 0 && (style & WS_VISIBLE) &&
        ((style & 0x0F) == BS_PUSHBUTTON || (style & 0x0F) == BS_DEFPUSHBUTTON))
        ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

// Records one message box and presses its OK button.
void RecordAndDismiss(HWND box, DWORD processId)
{
    SeenBox seen;
    seen.caption = WindowText(box);
    HWND text = GetDlgItem(box, kBoxTextId);
    if (text) seen.text = WindowText(text);
    HWND icon = GetDlgItem(box, kBoxIconId);
    seen.hasIcon = icon && IsWindowVisible(icon) &&
                   SendMessageA(icon, STM_GETICON, 0, 0) != 0;
    EnumChildWindows(box, CountButton, reinterpret_cast<LPARAM>(&seen.buttonCount));
    seen.owner = GetWindow(box, GW_OWNER);
    seen.processId = processId;
    {
        std::lock_guard<std::mutex> guard(watcher.lock);
        watcher.seen.push_back(seen);
        watcher.dismissed.push_back(box);
    }
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

// Looks at one top-level window: a visible message box of the watched process?
BOOL CALLBACK InspectWindow(HWND window, LPARAM)
{
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, "#32770") != 0 || !IsWindowVisible(window))
        return TRUE;
    if (!GetDlgItem(window, kBoxTextId))
        return TRUE;  // a dialog, but not a message box
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != watcher.processId)
        return TRUE;
    {
        std::lock_guard<std::mutex> guard(watcher.lock);
        for (HWND done : watcher.dismissed)
            if (done == window) return TRUE;
    }
    RecordAndDismiss(window, processId);
    return TRUE;
}

// The watcher thread: polls the top-level windows until told to stop.
void WatchLoop()
{
    while (watcher.running) {
        {
            // Forget boxes that are gone, so a reused handle is seen afresh.
            std::lock_guard<std::mutex> guard(watcher.lock);
            auto& done = watcher.dismissed;
            for (size_t i = done.size(); i-- > 0;)
                if (!IsWindow(done[i])) done.erase(done.begin() + i);
        }
        EnumWindows(InspectWindow, 0);
        Sleep(10);
    }
}

}  // namespace

void StartBoxWatcher(DWORD processId)
{
    StopBoxWatcher();
    watcher.processId = processId ? processId : GetCurrentProcessId();
    watcher.seen.clear();
    watcher.dismissed.clear();
    watcher.running = true;
    watcher.thread = std::thread(WatchLoop);
}

std::vector<SeenBox> StopBoxWatcher()
{
    if (watcher.running) {
        watcher.running = false;
        watcher.thread.join();
    }
    std::lock_guard<std::mutex> guard(watcher.lock);
    return watcher.seen;
}
