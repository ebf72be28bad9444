// The resources of the built saver, as the display settings read them.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "test_paths.h"

namespace {

// Loads the saver as a data file, so its resources can be read.
HMODULE LoadSaverResources()
{
    return LoadLibraryExA((ProgramFolder() + "opengl.scr").c_str(), nullptr,
                          LOAD_LIBRARY_AS_DATAFILE);
}

// One string of the version record's US English block.
std::string VersionString(const std::vector<char>& record, const char* name)
{
    void* value = nullptr;
    UINT length = 0;
    std::string path = std::string("\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueA(record.data(), path.c_str(), &value, &length) || !length)
        return "<missing>";
    return static_cast<const char*>(value);
}

}  // namespace

TEST(SaverResources, DescriptionString)
{
    HMODULE saver = LoadSaverResources();
    ASSERT_NE(nullptr, saver);
    char text[128] = {};
    ASSERT_GT(LoadStringA(saver, 1, text, sizeof text), 0);
    EXPECT_STREQ("3D OpenGL Screen Saver", text);
    FreeLibrary(saver);
}

TEST(SaverResources, VersionRecord)
{
    std::string path = ProgramFolder() + "opengl.scr";
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> record(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, record.data()));
    EXPECT_EQ("OpenGL 3D Screen Saver", VersionString(record, "FileDescription"));
    EXPECT_EQ("0.01", VersionString(record, "FileVersion"));
    EXPECT_EQ("1.0", VersionString(record, "ProductVersion"));
    EXPECT_EQ("opengl.scr", VersionString(record, "OriginalFilename"));
}
