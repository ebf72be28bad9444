#pragma once
// The three per-user settings kept in the registry, and the configuration
// dialog that edits them.
#include <windows.h>

// The persisted settings, in the order they are stored.
struct SaverSettings {
    DWORD resolution;    // id of the chosen resolution button; 0 before any choice
    DWORD usedefault;    // non-zero: always load "opengl32.dll"
    char datapath[80];   // a folder path, at most 79 characters and a NUL
};

// The saver's instance, filled once when the saver window is created.
extern SaverSettings saverSettings;

// Opens the settings key for all access, creating it when absent.
HKEY OpenSettingsKey();

// Reads the three values into settings; absent or oversized values leave
// their field as it was.
void ReadSaverSettings(HKEY key, SaverSettings* settings);

// Writes the three values from settings.
void WriteSaverSettings(HKEY key, const SaverSettings* settings);

// Reads the settings into the saver's instance: open, read, close.
void ReadStartupSettings();

// Registers what the dialog's controls need before it is shown; returns TRUE.
BOOL PrepareConfigDialog(HINSTANCE instance);

// Dialog procedure of the configuration dialog (template IDD_CONFIG).
INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
