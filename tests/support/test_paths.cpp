#include "test_paths.h"

#include <windows.h>
#include <cstdlib>

std::string WindowsPathOf(const std::string& unixPath)
{
    if (unixPath.empty() || unixPath[0] != '/')
        return unixPath;
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

// Joins a folder from an environment variable and a file name.
static std::string PathIn(const char* variable, const std::string& name)
{
    const char* folder = std::getenv(variable);
    if (!folder || !*folder)
        return name;
    return WindowsPathOf(folder) + "\\" + name;
}

std::string TestOutputPath(const std::string& name)
{
    return PathIn("SAVER_TEST_OUTPUT", name);
}

std::string RunDirPath(const std::string& name)
{
    return PathIn("SAVER_RUN_DIR", name);
}

std::string ProgramFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}
