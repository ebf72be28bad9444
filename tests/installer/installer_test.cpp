// The 64-bit installer run in the private prefix, silently and through its
// wizard: where it puts the saver, the pictures and the uninstaller, the
// switches /CURRENT and /REMOVESETTINGS, the wizards' defaults, and what the
// uninstall leaves behind.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "box_watcher.h"
#include "child_process.h"
#include "test_paths.h"

namespace {

const char uninstallKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OpenGLScreenSaver";
const char settingsKey[] = "Software\\OpenGLScreenSaver";
const char desktopKey[] = "Control Panel\\Desktop";
const char dataFolder[] = "c:\\zelvodata";
const char* const pictures[] = {"cloud.bmp", "stars.bmp", "quad.bmp"};
const char missing[] = "<missing>";
const DWORD installTimeoutMs = 60000;

// A string value of the registry, or "<missing>".
std::string ReadString(HKEY root, const char* keyName, const char* name)
{
    HKEY key;
    if (RegOpenKeyExA(root, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return missing;
    char text[1024] = {};
    DWORD size = sizeof text - 1;
    DWORD type = 0;
    LONG result = RegQueryValueExA(key, name, nullptr, &type,
                                   reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_SZ ? std::string(text) : missing;
}

// Writes a string value, creating the key.
void WriteString(HKEY root, const char* keyName, const char* name, const std::string& text)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, keyName, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
}

// Deletes one value, if it is there.
void DeleteValue(HKEY root, const char* keyName, const char* name)
{
    HKEY key;
    if (RegOpenKeyExA(root, keyName, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, name);
    RegCloseKey(key);
}

bool KeyExists(HKEY root, const char* keyName)
{
    HKEY key;
    if (RegOpenKeyExA(root, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool FileExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<char> FileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(file), {});
}

// True when both files exist and hold the same bytes.
bool SameFile(const std::string& path, const std::string& otherPath)
{
    std::vector<char> bytes = FileBytes(path);
    return !bytes.empty() && bytes == FileBytes(otherPath);
}

// Names of the files in a folder.
std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::string SystemFolder()
{
    char folder[MAX_PATH] = {};
    GetSystemDirectoryA(folder, MAX_PATH);
    return folder;
}

std::string SystemIni()
{
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\system.ini";
}

std::string SystemIniSaver()
{
    char text[MAX_PATH] = {};
    GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", missing, text, MAX_PATH,
                             SystemIni().c_str());
    return text;
}

std::string InstalledSaver()
{
    return SystemFolder() + "\\opengl.scr";
}

std::string ShortPathOf(const std::string& path)
{
    char shortPath[MAX_PATH] = {};
    GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
    return shortPath;
}

std::string InstallFolder()
{
    return ReadString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
                      "ProgramFilesDir") + "\\OpenGL ScreenSaver";
}

bool NineXFamily()
{
    return (GetVersion() & 0x80000000) != 0;
}

// Runs the installer with the given switches; returns its exit code.
DWORD RunInstaller(const std::string& switches, std::vector<SeenBox>* boxes = nullptr)
{
    std::string installer = ProgramFolder() + "..\\installer\\opengl-saver-setup-x64.exe";
    ChildProcess child = StartChild("\"" + installer + "\" " + switches);
    BoxWatch watch(child.processId);
    DWORD code = WaitChild(child, installTimeoutMs);
    std::vector<SeenBox> seen = watch.Stop();
    if (boxes)
        *boxes = seen;
    return code;
}

// Waits for the processes started by the given one (the uninstaller runs a
// copy of itself from the temporary folder and returns at once).
void WaitForChildrenOf(DWORD parentId)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, snapshot);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (entry.th32ParentProcessID != parentId)
            continue;
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE,
                                     entry.th32ProcessID);
        if (!process)
            continue;
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, installTimeoutMs))
            << entry.szExeFile << " did not end";
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process, &code);
        EXPECT_EQ(0u, code) << entry.szExeFile;
        CloseHandle(process);
    }
    CloseHandle(snapshot);
}

// Runs the registered silent uninstall with extra switches, to its end.
void RunQuietUninstall(const std::string& switches = "")
{
    std::string command = ReadString(HKEY_LOCAL_MACHINE, uninstallKey, "QuietUninstallString");
    ASSERT_NE(missing, command);
    ChildProcess child = StartChild(command + switches);
    ASSERT_NE(nullptr, child.process) << command;
    DWORD launcherId = child.processId;
    ASSERT_EQ(0u, WaitChild(child, installTimeoutMs));
    WaitForChildrenOf(launcherId);
}

// Finds the visible wizard window whose caption starts with the product name.
BOOL CALLBACK FindWizard(HWND window, LPARAM found)
{
    char caption[128] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (IsWindowVisible(window) && std::string(caption).rfind("3D OpenGL Screen Saver", 0) == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// Clicks the wizard's main button (Install, Uninstall, Close) once on each
// page, when it is enabled, as a user taking every default would, until the
// given process and the wizard are gone; returns the number of clicks.
int TakeTheDefaults(HANDLE process)
{
    int clicks = 0;
    std::string clicked;
    for (int tick = 0; tick < 600; ++tick) {
        HWND wizard = nullptr;
        EnumWindows(FindWizard, reinterpret_cast<LPARAM>(&wizard));
        bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
        if (!wizard && ended)
            break;
        HWND button = wizard ? GetDlgItem(wizard, IDOK) : nullptr;
        char text[64] = {};
        if (button)
            GetWindowTextA(button, text, sizeof text);
        if (button && IsWindowEnabled(button) && clicked != text) {
            DWORD_PTR result = 0;
            SendMessageTimeoutA(wizard, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                                reinterpret_cast<LPARAM>(button), SMTO_NORMAL, 5000, &result);
            clicked = text;
            ++clicks;
        }
        Sleep(300);
    }
    return clicks;
}

// Removes whatever an earlier, failed case may have left in the prefix.
void RemoveLeftovers()
{
    DeleteFileA(InstalledSaver().c_str());
    for (const char* picture : pictures)
        DeleteFileA((std::string(dataFolder) + "\\" + picture).c_str());
    DeleteFileA((std::string(dataFolder) + "\\mine.bmp").c_str());
    RemoveDirectoryA(dataFolder);
    DeleteFileA((InstallFolder() + "\\license.txt").c_str());
    DeleteFileA((InstallFolder() + "\\uninstall.exe").c_str());
    RemoveDirectoryA(InstallFolder().c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, uninstallKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, settingsKey);
    DeleteValue(HKEY_CURRENT_USER, desktopKey, "SCRNSAVE.EXE");
    WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", nullptr, SystemIni().c_str());
}

class Installer : public ::testing::Test {
protected:
    void SetUp() override { RemoveLeftovers(); }
    void TearDown() override { RemoveLeftovers(); }

    // Everything the installer puts in place, checked file by file.
    void ExpectInstalled()
    {
        EXPECT_TRUE(SameFile(ProgramFolder() + "opengl.scr", InstalledSaver()))
            << InstalledSaver();
        for (const char* picture : pictures)
            EXPECT_TRUE(SameFile(ProgramFolder() + "..\\pictures\\" + picture,
                                 std::string(dataFolder) + "\\" + picture))
                << picture;
        EXPECT_TRUE(SameFile(ProgramFolder() + "..\\installer\\license.txt",
                             InstallFolder() + "\\license.txt"));
        std::string uninstaller = InstallFolder() + "\\uninstall.exe";
        EXPECT_TRUE(FileExists(uninstaller)) << uninstaller;
        EXPECT_EQ("3D OpenGL Screen Saver",
                  ReadString(HKEY_LOCAL_MACHINE, uninstallKey, "DisplayName"));
        EXPECT_EQ("1.0", ReadString(HKEY_LOCAL_MACHINE, uninstallKey, "DisplayVersion"));
        EXPECT_EQ("OpenGL ScreenSaver", ReadString(HKEY_LOCAL_MACHINE, uninstallKey, "Publisher"));
        EXPECT_EQ("\"" + uninstaller + "\"",
                  ReadString(HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString"));
        EXPECT_EQ("\"" + uninstaller + "\" /S",
                  ReadString(HKEY_LOCAL_MACHINE, uninstallKey, "QuietUninstallString"));
    }

    // Nothing of the installer's own is left.
    void ExpectUninstalled()
    {
        EXPECT_FALSE(FileExists(InstalledSaver()));
        for (const char* picture : pictures)
            EXPECT_FALSE(FileExists(std::string(dataFolder) + "\\" + picture)) << picture;
        EXPECT_FALSE(FolderExists(InstallFolder())) << InstallFolder();
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, uninstallKey));
    }
};

TEST_F(Installer, SilentInstallAndUninstallKeepTheUsersChoices)
{
    std::string otherSaver = SystemFolder() + "\\other.scr";
    WriteString(HKEY_CURRENT_USER, desktopKey, "SCRNSAVE.EXE", otherSaver);
    WriteString(HKEY_CURRENT_USER, settingsKey, "datapath", "kept");

    std::vector<SeenBox> boxes;
    ASSERT_EQ(0u, RunInstaller("/S", &boxes));
    EXPECT_TRUE(boxes.empty()) << boxes.front().text;
    ExpectInstalled();
    // Without /CURRENT a silent install leaves the current saver alone.
    EXPECT_EQ(otherSaver, ReadString(HKEY_CURRENT_USER, desktopKey, "SCRNSAVE.EXE"));
    EXPECT_EQ(missing, SystemIniSaver());

    // A second install over the first one, then one uninstall removes all.
    ASSERT_EQ(0u, RunInstaller("/S"));
    ExpectInstalled();
    RunQuietUninstall();
    ExpectUninstalled();
    EXPECT_FALSE(FolderExists(dataFolder));
    EXPECT_EQ(otherSaver, ReadString(HKEY_CURRENT_USER, desktopKey, "SCRNSAVE.EXE"));
    EXPECT_EQ("kept", ReadString(HKEY_CURRENT_USER, settingsKey, "datapath"));
}

TEST_F(Installer, CurrentSwitchMakesItTheScreenSaverAndUninstallForgetsIt)
{
    WriteString(HKEY_CURRENT_USER, settingsKey, "datapath", "gone");
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_UPDATEINIFILE);
    ASSERT_EQ("0", ReadString(HKEY_CURRENT_USER, desktopKey, "ScreenSaveActive"));

    ASSERT_EQ(0u, RunInstaller("/S /CURRENT"));
    ExpectInstalled();
    std::string saver = ShortPathOf(InstalledSaver());
    ASSERT_FALSE(saver.empty());
    EXPECT_EQ(saver, ReadString(HKEY_CURRENT_USER, desktopKey, "SCRNSAVE.EXE"));
    EXPECT_EQ("1", ReadString(HKEY_CURRENT_USER, desktopKey, "ScreenSaveActive"));
    // The 9x family reads the current saver from system.ini.
    EXPECT_EQ(NineXFamily() ? saver : missing, SystemIniSaver());

    RunQuietUninstall(" /REMOVESETTINGS");
    ExpectUninstalled();
    EXPECT_EQ(missing, ReadString(HKEY_CURRENT_USER, desktopKey, "SCRNSAVE.EXE"));
    EXPECT_EQ(missing, SystemIniSaver());
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, settingsKey));
}

TEST_F(Installer, UninstallLeavesWhatIsNotItsOwn)
{
    ASSERT_EQ(0u, RunInstaller("/S /CURRENT"));
    // The user picked another saver since, and put a picture of their own
    // into the data folder.
    std::string otherSaver = SystemFolder() + "\\other.scr";
    WriteString(HKEY_CURRENT_USER, desktopKey, "SCRNSAVE.EXE", otherSaver);
    if (NineXFamily())
        WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", otherSaver.c_str(),
                                   SystemIni().c_str());
    std::ofstream(std::string(dataFolder) + "\\mine.bmp") << "mine";

    RunQuietUninstall();
    ExpectUninstalled();
    EXPECT_EQ(std::vector<std::string>{"mine.bmp"}, FilesIn(dataFolder));
    EXPECT_EQ(otherSaver, ReadString(HKEY_CURRENT_USER, desktopKey, "SCRNSAVE.EXE"));
    EXPECT_EQ(NineXFamily() ? otherSaver : missing, SystemIniSaver());
}

// Without /S the wizards ask: taking their defaults makes the saver the
// current one and keeps the settings.
TEST_F(Installer, WizardDefaultsMakeItCurrentAndKeepTheSettings)
{
    WriteString(HKEY_CURRENT_USER, settingsKey, "datapath", "kept");
    std::string installer = ProgramFolder() + "..\\installer\\opengl-saver-setup-x64.exe";
    ChildProcess setup = StartChild("\"" + installer + "\"");
    ASSERT_NE(nullptr, setup.process);
    // Install, then Close.
    EXPECT_EQ(2, TakeTheDefaults(setup.process));
    ASSERT_EQ(0u, WaitChild(setup, 1000));
    ExpectInstalled();
    EXPECT_EQ(ShortPathOf(InstalledSaver()),
              ReadString(HKEY_CURRENT_USER, desktopKey, "SCRNSAVE.EXE"));

    std::string command = ReadString(HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString");
    ChildProcess uninstall = StartChild(command);
    ASSERT_NE(nullptr, uninstall.process) << command;
    DWORD launcherId = uninstall.processId;
    ASSERT_EQ(0u, WaitChild(uninstall, installTimeoutMs));
    // Uninstall, then Close; the wizard is the launcher's copy.
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    HANDLE copy = nullptr;
    for (BOOL more = Process32First(snapshot, &entry); more && !copy;
         more = Process32Next(snapshot, &entry))
        if (entry.th32ParentProcessID == launcherId)
            copy = OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID);
    CloseHandle(snapshot);
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(2, TakeTheDefaults(copy));
    CloseHandle(copy);
    ExpectUninstalled();
    EXPECT_EQ(missing, ReadString(HKEY_CURRENT_USER, desktopKey, "SCRNSAVE.EXE"));
    EXPECT_EQ("kept", ReadString(HKEY_CURRENT_USER, settingsKey, "datapath"));
}

// Asks each top-level window of the given process to close.
BOOL CALLBACK CloseWindowOf(HWND window, LPARAM processId)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == static_cast<DWORD>(processId))
        PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// The installed saver starts from the system folder in full-screen mode and
// ends, by itself or when its windows are asked to close.
TEST_F(Installer, InstalledSaverStartsFromTheSystemFolder)
{
    ASSERT_EQ(0u, RunInstaller("/S"));
    ChildProcess saver = StartChild("\"" + InstalledSaver() + "\" /s");
    ASSERT_NE(nullptr, saver.process);
    // Its windows may come late: they are asked to close until it ends.
    for (DWORD waited = 0; waited < installTimeoutMs; waited += 100) {
        EnumWindows(CloseWindowOf, static_cast<LPARAM>(saver.processId));
        if (WaitForSingleObject(saver.process, 100) == WAIT_OBJECT_0)
            break;
    }
    EXPECT_EQ(0u, WaitChild(saver, 0));
    RunQuietUninstall();
    ExpectUninstalled();
}

}  // namespace
