// The settings store against the real registry of the test's Wine prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "settings.h"
#include "stored_values.h"

namespace {

// Settings filled with recognisable bytes, to see which fields a read touched.
SaverSettings MarkedSettings()
{
    SaverSettings settings;
    settings.resolution = 0x11111111;
    settings.usedefault = 0x22222222;
    memset(settings.datapath, 0, sizeof settings.datapath);
    strcpy(settings.datapath, "e:\\before");
    return settings;
}

// Reads the stored settings over the given starting contents.
SaverSettings ReadOver(SaverSettings settings)
{
    HKEY key = OpenSettingsKey();
    ReadSaverSettings(key, &settings);
    RegCloseKey(key);
    return settings;
}

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override { DeleteSettingsKey(); }
    void TearDown() override { DeleteSettingsKey(); }
};

}  // namespace

TEST_F(SettingsStore, FirstStartCreatesTheEmptyKey)
{
    ASSERT_FALSE(SettingsKeyExists());
    memset(&saverSettings, 0, sizeof saverSettings);
    ReadStartupSettings();

    EXPECT_EQ(0u, saverSettings.resolution);
    EXPECT_EQ(0u, saverSettings.usedefault);
    EXPECT_EQ('\0', saverSettings.datapath[0]);

    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\OpenGLScreenSaver", 0,
                                           KEY_READ, &key));
    char keyClass[32] = {};
    DWORD classLength = sizeof keyClass;
    DWORD values = 99, subkeys = 99;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(key, keyClass, &classLength, nullptr, &subkeys,
                                              nullptr, nullptr, &values, nullptr, nullptr,
                                              nullptr, nullptr));
    RegCloseKey(key);
    EXPECT_STREQ("NONE", keyClass);
    EXPECT_EQ(0u, values);
    EXPECT_EQ(0u, subkeys);
}

TEST_F(SettingsStore, StartupReadTakesStoredValues)
{
    StoreNumber("resolution", 1014);
    StoreNumber("usedefault", 1);
    StoreText("datapath", "d:\\pictures");
    memset(&saverSettings, 0, sizeof saverSettings);
    ReadStartupSettings();
    EXPECT_EQ(1014u, saverSettings.resolution);
    EXPECT_EQ(1u, saverSettings.usedefault);
    EXPECT_STREQ("d:\\pictures", saverSettings.datapath);
}

TEST_F(SettingsStore, AbsentValuesLeaveFieldsAsTheyWere)
{
    StoreNumber("usedefault", 7);
    SaverSettings read = ReadOver(MarkedSettings());
    EXPECT_EQ(0x11111111u, read.resolution);
    EXPECT_EQ(7u, read.usedefault);
    EXPECT_STREQ("e:\\before", read.datapath);
}

TEST_F(SettingsStore, FourBytesOfAnyTypeAreTakenAsTheNumber)
{
    const BYTE binary[4] = {0xF5, 0x03, 0x00, 0x00};  // 1013
    StoreValue("resolution", REG_BINARY, binary, sizeof binary);
    StoreValue("usedefault", REG_SZ, "abc", 4);        // 'a' 'b' 'c' NUL
    SaverSettings read = ReadOver(MarkedSettings());
    EXPECT_EQ(1013u, read.resolution);
    EXPECT_EQ(0x00636261u, read.usedefault);
}

TEST_F(SettingsStore, ValuesLargerThanTheFieldAreNotTaken)
{
    const BYTE eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    StoreValue("resolution", REG_BINARY, eight, sizeof eight);
    StoreValue("usedefault", REG_QWORD, eight, sizeof eight);
    std::string longPath(100, 'p');
    StoreText("datapath", longPath);
    SaverSettings read = ReadOver(MarkedSettings());
    EXPECT_EQ(0x11111111u, read.resolution);
    EXPECT_EQ(0x22222222u, read.usedefault);
    EXPECT_STREQ("e:\\before", read.datapath);
}

TEST_F(SettingsStore, PathOfEightyBytesWithoutNulStaysTerminated)
{
    std::string full(80, 'q');
    // Stored as binary, the 80 bytes fill the buffer; its last byte becomes the NUL.
    StoreValue("datapath", REG_BINARY, full.data(), 80);
    SaverSettings read = ReadOver(MarkedSettings());
    EXPECT_EQ('\0', read.datapath[79]);
    EXPECT_EQ(std::string(79, 'q'), std::string(read.datapath));

    // Stored as text, the system may refuse it for want of room for a NUL (Wine
    // does) or hand out the 80 bytes; either way the path ends inside the field.
    StoreValue("datapath", REG_SZ, full.data(), 80);
    read = ReadOver(MarkedSettings());
    EXPECT_EQ('\0', read.datapath[79]);
    std::string path = read.datapath;
    EXPECT_TRUE(path == std::string(79, 'q') || path == "e:\\before") << path;
}

TEST_F(SettingsStore, PathOfSeventyNineCharactersIsTakenWhole)
{
    std::string longest(79, 'r');
    StoreText("datapath", longest);
    EXPECT_EQ(longest, std::string(ReadOver(MarkedSettings()).datapath));
}

TEST_F(SettingsStore, WriteStoresTypesAndFullSizes)
{
    SaverSettings settings = MarkedSettings();
    settings.resolution = 1013;
    settings.usedefault = 1;
    // Bytes after the path's NUL are stored too: the whole buffer goes out.
    memset(settings.datapath, 'z', sizeof settings.datapath);
    strcpy(settings.datapath, "d:\\x");
    HKEY key = OpenSettingsKey();
    WriteSaverSettings(key, &settings);
    RegCloseKey(key);

    StoredValue resolution = QueryValue("resolution");
    ASSERT_TRUE(resolution.present);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), resolution.type);
    EXPECT_EQ(1013u, NumberIn(resolution));

    StoredValue usedefault = QueryValue("usedefault");
    ASSERT_TRUE(usedefault.present);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), usedefault.type);
    EXPECT_EQ(1u, NumberIn(usedefault));

    StoredValue path = QueryValue("datapath");
    ASSERT_TRUE(path.present);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), path.type);
    ASSERT_EQ(80u, path.bytes.size());
    EXPECT_EQ(0, memcmp(settings.datapath, path.bytes.data(), 80));

    SaverSettings read = ReadOver(SaverSettings{});
    EXPECT_EQ(1013u, read.resolution);
    EXPECT_EQ(1u, read.usedefault);
    EXPECT_STREQ("d:\\x", read.datapath);
}

TEST_F(SettingsStore, WriteReplacesValuesOfOtherTypes)
{
    StoreText("resolution", "1014");
    StoreText("datapath", std::string(120, 'w'));
    SaverSettings settings = {1012, 0, "c:\\windows"};
    HKEY key = OpenSettingsKey();
    WriteSaverSettings(key, &settings);
    RegCloseKey(key);

    StoredValue resolution = QueryValue("resolution");
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), resolution.type);
    EXPECT_EQ(1012u, NumberIn(resolution));
    StoredValue path = QueryValue("datapath");
    EXPECT_EQ(PathBuffer("c:\\windows"), path.bytes);
}
