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

// The manifest as the system reads it: the saver's activation context says it
// is aware of the system's DPI (not per monitor) and runs as invoked.
TEST(SaverResources, ManifestDeclaresDpiAwareness)
{
    std::string path = ProgramFolder() + "opengl.scr";
    ACTCTXA request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.lpResourceName = MAKEINTRESOURCEA(1);
    HANDLE context = CreateActCtxA(&request);
    ASSERT_NE(INVALID_HANDLE_VALUE, context) << "error " << GetLastError();

    WCHAR setting[64] = {};
    SIZE_T written = 0;
    ASSERT_TRUE(QueryActCtxSettingsW(0, context, nullptr, L"dpiAware", setting,
                                     sizeof setting / sizeof setting[0], &written))
        << "error " << GetLastError();
    EXPECT_STREQ(L"true", setting);
    setting[0] = 0;
    QueryActCtxSettingsW(0, context, nullptr, L"dpiAwareness", setting,
                         sizeof setting / sizeof setting[0], &written);
    EXPECT_STREQ(L"", setting);

    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level = {};
    ASSERT_TRUE(QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext,
                             &level, sizeof level, &written));
    EXPECT_EQ(ACTCTX_RUN_LEVEL_AS_INVOKER, level.RunLevel);
    EXPECT_FALSE(level.UiAccess);
    ReleaseActCtx(context);
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
