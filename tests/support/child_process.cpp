#include "child_process.h"

#include <vector>

ChildProcess StartChild(const std::string& commandLine, const std::string& folder)
{
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    ChildProcess child;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info))
        return child;
    CloseHandle(info.hThread);
    child.process = info.hProcess;
    child.processId = info.dwProcessId;
    return child;
}

DWORD WaitChild(ChildProcess& child, DWORD timeoutMs)
{
    if (!child.process)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(child.process, timeoutMs) != WAIT_OBJECT_0)
        TerminateProcess(child.process, STILL_ACTIVE);
    else
        GetExitCodeProcess(child.process, &code);
    CloseHandle(child.process);
    child.process = nullptr;
    return code;
}
