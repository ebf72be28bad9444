#include "xdotool.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "test_paths.h"

DWORD Xdotool(const std::string& arguments)
{
    // Wine starts a Unix program without a process handle to wait on, so a
    // shell runs xdotool and writes its exit status to a file when done.
    static int runs;
    const char* runDir = std::getenv("SAVER_RUN_DIR");
    std::string unixDone = std::string(runDir ? runDir : "/tmp") + "/xdotool-" +
                           std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++runs);
    std::string windowsDone = WindowsPathOf(unixDone);
    std::string line = "Z:\\bin\\sh -c \"/usr/bin/xdotool " + arguments + "; echo $? > " +
                       unixDone + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return 0xFFFFFFFF;
    if (info.hThread)
        CloseHandle(info.hThread);
    if (info.hProcess)
        CloseHandle(info.hProcess);
    for (int i = 0; i < 500; ++i) {
        FILE* done = std::fopen(windowsDone.c_str(), "r");
        if (done) {
            int status = -1;
            int read = std::fscanf(done, "%d", &status);
            std::fclose(done);
            if (read == 1) {
                DeleteFileA(windowsDone.c_str());
                return static_cast<DWORD>(status);
            }
        }
        Sleep(20);
    }
    return 0xFFFFFFFF;
}
