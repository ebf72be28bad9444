#pragma once
#include <windows.h>

// Translates and dispatches every message waiting for this thread.
void PumpMessages();

// Keeps handling this thread's messages for the given time.
void PumpMessages(DWORD ms);
