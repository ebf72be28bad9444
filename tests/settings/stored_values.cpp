#include "stored_values.h"

static const char keyName[] = "Software\\OpenGLScreenSaver";

void DeleteSettingsKey()
{
    RegDeleteKeyA(HKEY_CURRENT_USER, keyName);
}

bool SettingsKeyExists()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void StoreValue(const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, keyName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void StoreNumber(const char* name, DWORD number)
{
    StoreValue(name, REG_DWORD, &number, sizeof number);
}

void StoreText(const char* name, const std::string& text)
{
    StoreValue(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

StoredValue QueryValue(const char* name)
{
    StoredValue value;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.bytes.resize(size);
        value.present = RegQueryValueExA(key, name, nullptr, &value.type,
                                         value.bytes.data(), &size) == ERROR_SUCCESS;
        value.bytes.resize(size);
    }
    RegCloseKey(key);
    return value;
}

DWORD NumberIn(const StoredValue& value)
{
    if (value.bytes.size() != 4)
        return 0xDEADBEEF;
    DWORD number;
    memcpy(&number, value.bytes.data(), 4);
    return number;
}

std::vector<BYTE> PathBuffer(const std::string& text)
{
    std::vector<BYTE> buffer(80, 0);
    memcpy(buffer.data(), text.data(), text.size());
    return buffer;
}
