#pragma once
// Helpers shared by the framework's tests: platform family, state reset,
// the password setting and the test doubles of the system components.
#include <windows.h>
#include <string>

// True when the system reports the 9x family.
bool SystemIsWin9x();

// Puts the framework state back to its process-start values, then records
// this program's instance and the system's family as the entry would.
void ResetSaverState();

// Sets "ScreenSaveUsePassword" under HKCU\Control Panel\Desktop to a 4-byte
// value, or removes it when remove is true.
void SetUsePassword(DWORD value, bool remove = false);

// Stores raw bytes of the given type as "ScreenSaveUsePassword".
void SetUsePasswordBytes(DWORD type, const void* bytes, DWORD size);

// Makes bare-name library loads look in bin\doubles\<folder> after the
// program's own folder (empty folder: back to the normal search).
void UseDoublesFolder(const std::string& folder);

// Lets a native "MPR.DLL" replace Wine's built-in one for this prefix.
void PreferNativeMpr();

// A counter or record the doubles keep in an environment variable ("" if unset).
std::string DoubleRecord(const char* variable);

// Clears the doubles' records.
void ClearDoubleRecords();

// SPI_GETSCREENSAVERRUNNING: the system's screen-saver-running flag.
BOOL ScreenSaverRunningFlag();

// Decimal text of a window handle, as a command line carries it.
std::string HandleText(HWND window);
