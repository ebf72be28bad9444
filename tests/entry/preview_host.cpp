// Stands in for the display settings: a window with a 152 x 112 preview
// area, the saver started with "/p" and the area's handle as they start it,
// and the window destroyed when the user moves on. What it sees of the
// saver goes to a report file, one "name=value" line each.
//
// usage: preview_host.exe SAVER REPORT [HOLD_MS]
//   SAVER    the saver program to start
//   REPORT   the report file to write
//   HOLD_MS  how long the preview runs before the window goes (default 1500)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "messages.h"

namespace {

const int kPreviewWidth = 152;
const int kPreviewHeight = 112;

FILE* report;

// Writes one line of the report.
void Report(const char* name, const std::string& value)
{
    std::fprintf(report, "%s=%s\n", name, value.c_str());
}

// Decimal text of a number.
std::string Number(unsigned long long value)
{
    return std::to_string(value);
}

// The class name of a window.
std::string ClassOf(HWND window)
{
    char text[64] = {};
    GetClassNameA(window, text, sizeof text);
    return text;
}

// The title of a window.
std::string TitleOf(HWND window)
{
    char text[64] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// Client size of a window as "width x height".
std::string SizeOf(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    return Number(client.right) + "x" + Number(client.bottom);
}

// The dialog-like window holding the preview area, and the area itself.
HWND MakeSettingsWindow(HWND* preview)
{
    HWND settings = CreateWindowExA(0, "STATIC", "Display Properties",
                                    WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60, 400, 300, nullptr,
                                    nullptr, nullptr, nullptr);
    *preview = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_BLACKRECT, 120, 40,
                               kPreviewWidth, kPreviewHeight, settings, nullptr, nullptr, nullptr);
    return settings;
}

// Watches the running preview and reports what is inside the preview area.
void ReportPreview(HWND preview, DWORD saverId, DWORD holdMs)
{
    HWND saverWindow = nullptr;
    for (int i = 0; i < 1000 && !saverWindow; ++i) {
        saverWindow = GetWindow(preview, GW_CHILD);
        PumpMessages(10);
    }
    Report("saver_window", saverWindow ? "found" : "missing");
    if (!saverWindow)
        return;
    DWORD owner = 0;
    GetWindowThreadProcessId(saverWindow, &owner);
    Report("saver_window_process", owner == saverId ? "saver" : "other");
    Report("saver_window_class", ClassOf(saverWindow));
    Report("saver_window_title", TitleOf(saverWindow));
    Report("saver_window_size", SizeOf(saverWindow));
    Report("saver_window_parent_is_preview", GetParent(saverWindow) == preview ? "yes" : "no");
    HWND gl = nullptr;
    for (int i = 0; i < 1000 && !gl; ++i) {
        gl = GetWindow(saverWindow, GW_CHILD);
        PumpMessages(10);
    }
    Report("gl_window", gl ? "found" : "missing");
    if (gl) {
        Report("gl_window_class", ClassOf(gl));
        Report("gl_window_size", SizeOf(gl));
    }
    PumpMessages(holdMs);
    Report("saver_running_after_hold", IsWindow(saverWindow) ? "yes" : "no");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    report = std::fopen(argv[2], "w");
    if (!report)
        return 2;
    DWORD holdMs = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1500;

    HWND preview = nullptr;
    HWND settings = MakeSettingsWindow(&preview);
    Report("preview_size", SizeOf(preview));
    std::string line = "\"" + std::string(argv[1]) + "\" /p " +
                       Number(reinterpret_cast<UINT_PTR>(preview));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION saver = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &saver)) {
        Report("started", "no");
        std::fclose(report);
        return 1;
    }
    Report("started", "yes");
    ReportPreview(preview, saver.dwProcessId, holdMs);

    DestroyWindow(settings);
    DWORD waited = WaitForSingleObject(saver.hProcess, 15000);
    DWORD exitCode = STILL_ACTIVE;
    if (waited == WAIT_OBJECT_0)
        GetExitCodeProcess(saver.hProcess, &exitCode);
    else
        TerminateProcess(saver.hProcess, STILL_ACTIVE);
    Report("ended_after_destroy", waited == WAIT_OBJECT_0 ? "yes" : "no");
    Report("exit_code", Number(exitCode));
    CloseHandle(saver.hThread);
    CloseHandle(saver.hProcess);
    std::fclose(report);
    return 0;
}
