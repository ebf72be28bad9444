#pragma once
#include <windows.h>
#include <string>

// A program started by a test, with its exact command line.
struct ChildProcess {
    HANDLE process = nullptr;
    DWORD processId = 0;
};

// Starts a program with the given command line (used as is) in the given
// folder (empty: the current one). Returns a child with a null handle on failure.
ChildProcess StartChild(const std::string& commandLine, const std::string& folder = "");

// Waits up to timeoutMs for the child to end; returns its exit code, or
// STILL_ACTIVE after terminating it when it did not end in time.
DWORD WaitChild(ChildProcess& child, DWORD timeoutMs);
