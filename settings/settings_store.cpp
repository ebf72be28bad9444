#include "settings.h"

SaverSettings saverSettings;

static const char settingsKeyName[] = "Software\\OpenGLScreenSaver";
static char settingsKeyClass[] = "NONE";

// Opens the settings key for all access, creating it when absent; null when neither works.
HKEY OpenSettingsKey()
{
    HKEY key = nullptr;
    DWORD disposition;
    RegCreateKeyExA(HKEY_CURRENT_USER, settingsKeyName, 0, settingsKeyClass,
                    REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition);
    return key;
}

// Reads one value into a field of the given size; the field is left as it
// was when the value is absent or does not fit.
static void ReadSettingsValue(HKEY key, const char* name, void* field, DWORD size)
{
    RegQueryValueExA(key, name, nullptr, nullptr, static_cast<BYTE*>(field), &size);
}

// Reads the three values, each offering exactly its field's size.
void ReadSaverSettings(HKEY key, SaverSettings* settings)
{
    ReadSettingsValue(key, "resolution", &settings->resolution, sizeof settings->resolution);
    ReadSettingsValue(key, "usedefault", &settings->usedefault, sizeof settings->usedefault);
    ReadSettingsValue(key, "datapath", settings->datapath, sizeof settings->datapath);
    // A stored path of 80 bytes without a NUL must not leave the text open.
    settings->datapath[sizeof settings->datapath - 1] = '\0';
}

// Writes the three values, the path as its whole 80-byte buffer.
void WriteSaverSettings(HKEY key, const SaverSettings* settings)
{
    RegSetValueExA(key, "resolution", 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&settings->resolution), sizeof settings->resolution);
    RegSetValueExA(key, "usedefault", 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&settings->usedefault), sizeof settings->usedefault);
    RegSetValueExA(key, "datapath", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(settings->datapath), sizeof settings->datapath);
}

// Reads the saver's settings once at start and lets the key go at once.
void ReadStartupSettings()
{
    HKEY key = OpenSettingsKey();
    ReadSaverSettings(key, &saverSettings);
    RegCloseKey(key);
}
