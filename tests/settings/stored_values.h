#pragma once
// Direct access to the saver's registry key for the settings tests.
#include <windows.h>
#include <string>
#include <vector>

// One value as the registry holds it.
struct StoredValue {
    bool present = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

// Removes the settings key with its values, as for a user who never ran the saver.
void DeleteSettingsKey();

// True when the settings key exists.
bool SettingsKeyExists();

// Stores raw bytes under a value of the settings key (created when absent).
void StoreValue(const char* name, DWORD type, const void* data, DWORD size);

// Stores a 4-byte REG_DWORD.
void StoreNumber(const char* name, DWORD number);

// Stores a REG_SZ of the text with its NUL.
void StoreText(const char* name, const std::string& text);

// Reads a value of the settings key whatever its type and size.
StoredValue QueryValue(const char* name);

// The number in a 4-byte value, or 0xDEADBEEF when it is not 4 bytes.
DWORD NumberIn(const StoredValue& value);

// An 80-byte path buffer: the text, then zeros.
std::vector<BYTE> PathBuffer(const std::string& text);
