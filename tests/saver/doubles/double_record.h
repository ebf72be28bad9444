#pragma once
// The record file that the password doubles append to, for a test that
// watches another process.
#include <windows.h>
#include <cstdio>

// Appends one line to the file named by DOUBLE_RECORD_FILE, if set.
inline void AppendRecord(const char* line)
{
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("DOUBLE_RECORD_FILE", path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return;
    FILE* file = std::fopen(path, "a");
    if (!file)
        return;
    std::fprintf(file, "%s\n", line);
    std::fclose(file);
}
