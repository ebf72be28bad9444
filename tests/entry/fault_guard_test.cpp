// The saver's fault guard seen from outside: a fault inside a mode ends the
// process with the fault's code, and on the 9x family the system's
// screen-saver-running notice, turned on for the password verifier, is off
// again afterwards. The faults come from test doubles of the system's
// components, never from the saver's own code. Also the preview started as
// the display settings start it, by a host program of its own.
//
// Under 64-bit Wine a fault inside a window procedure that the system calls
// back (window creation, painting) is caught and ignored by the system
// before it reaches the guard; the faults here are in the dispatch itself
// and in the handling of a posted close request, which the guard sees.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <map>
#include <string>

#include "entry_support.h"
#include "test_paths.h"

namespace {

struct Unmanaged {
    Unmanaged() { UseUnmanagedWindows(); }
} unmanaged;

// True when the system reports the 9x family.
bool SystemIsWin9x()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

// The screen-saver-running flag as a fresh process reads it (0 off, 1 on).
DWORD SaverRunningNotice()
{
    ChildProcess probe = StartChild("\"" + ProgramFolder() + "saver_running_probe.exe\"");
    return WaitChild(probe, 10000);
}

// Turns the notice off, as a clean system has it.
void ClearSaverRunningNotice()
{
    BOOL previous;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, FALSE, &previous, 0);
}

// Whole text of a file ("" when missing).
std::string FileText(const std::string& path)
{
    std::ifstream file(path);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// A full-screen saver started from a copy with the given doubles beside it,
// the doubles recording into a file of the run.
class FaultGuard : public testing::Test {
protected:
    void SetUp() override
    {
        record = RunDirPath("fault-record.txt");
        DeleteFileA(record.c_str());
        SetEnvironmentVariableA("DOUBLE_RECORD_FILE", record.c_str());
        ClearSaverRunningNotice();
    }
    void TearDown() override
    {
        if (saver.process)
            WaitChild(saver, 0);
        SetEnvironmentVariableA("DOUBLE_RECORD_FILE", nullptr);
        SetEnvironmentVariableA("DOUBLE_FAULT", nullptr);
        SetUsePassword(0, true);
        ClearSaverRunningNotice();
    }
    // Starts the copy full screen and waits for its window; null if none came.
    HWND StartFullScreen(const std::string& copy)
    {
        saver = StartChild("\"" + copy + "\" /s");
        HWND window = nullptr;
        WaitUntil(
            [&] {
                window = TopWindowOf(saver.processId, SAVER_CLASS, "Screen Saver");
                return window || WaitForSingleObject(saver.process, 0) == WAIT_OBJECT_0;
            },
            20000);
        return window;
    }
    std::string record;
    ChildProcess saver;
};

TEST_F(FaultGuard, VerifierFaultEndsTheSaverAndTurnsTheNoticeOff)
{
    if (!SystemIsWin9x())
        GTEST_SKIP() << "the password verifier runs on the 9x family only";
    SetUsePassword(1);
    SetEnvironmentVariableA("DOUBLE_FAULT", "1");
    std::string copy = SaverCopy("faulting verifier", {{"password", "PASSWORD.CPL"}});
    ASSERT_EQ(0u, SaverRunningNotice());

    HWND window = StartFullScreen(copy);
    ASSERT_NE(nullptr, window) << "the saver did not start";
    EXPECT_EQ(1u, SaverRunningNotice()) << "the verifier did not turn the notice on";
    EXPECT_EQ("load\n", FileText(record));

    PostMessageA(window, WM_CLOSE, 0, 0);
    DWORD exitCode = WaitChild(saver, 15000);
    EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), exitCode);
    EXPECT_EQ("load\nVerifyScreenSavePwd\n", FileText(record)) << "the verifier never ran";
    EXPECT_EQ(0u, SaverRunningNotice()) << "the notice stayed on after the fault";
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(FaultGuard, SaverKilledFromOutsideLeavesTheNoticeOn)
{
    // What the guard prevents: a saver that ends without turning the notice
    // off leaves the system believing a saver runs.
    if (!SystemIsWin9x())
        GTEST_SKIP() << "the password verifier runs on the 9x family only";
    SetUsePassword(1);
    std::string copy = SaverCopy("killed saver", {{"password", "PASSWORD.CPL"}});
    ASSERT_NE(nullptr, StartFullScreen(copy)) << "the saver did not start";
    EXPECT_EQ(1u, SaverRunningNotice());
    TerminateProcess(saver.process, 7);
    EXPECT_EQ(7u, WaitChild(saver, 5000));
    EXPECT_EQ(1u, SaverRunningNotice());
}

TEST_F(FaultGuard, PasswordChangeFaultEndsTheSaverAndTurnsTheNoticeOff)
{
    // The fault comes from the password-change library, called by the
    // dispatch itself; the notice was on from before (set here), and the
    // guard turns it off whoever turned it on.
    if (!SystemIsWin9x())
        GTEST_SKIP() << "the password change runs on the 9x family only";
    PreferNativeMpr();
    SetEnvironmentVariableA("DOUBLE_FAULT", "1");
    std::string copy = SaverCopy("faulting password change", {{"mpr", "MPR.DLL"}});
    BOOL previous;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, TRUE, &previous, 0);
    ASSERT_EQ(1u, SaverRunningNotice());

    HWND parent = MakeTestWindow("password owner");
    saver = StartChild("\"" + copy + "\" /a " + HandleText(parent));
    EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), WaitChild(saver, 15000));
    EXPECT_EQ("load\nPwdChangePasswordA SCRSAVE|" + HandleText(parent) + "|0|0\n",
              FileText(record));
    EXPECT_EQ(0u, SaverRunningNotice()) << "the notice stayed on after the fault";
    DestroyWindow(parent);
}

// ---- The preview as the display settings run it ----

// The host's report as name -> value.
std::map<std::string, std::string> ReadReport(const std::string& path)
{
    std::map<std::string, std::string> values;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        size_t equals = line.find('=');
        if (equals != std::string::npos)
            values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
}

TEST(DisplaySettingsHost, PreviewDrawsInItsAreaAndEndsWithTheWindow)
{
    std::string report = RunDirPath("preview-report.txt");
    DeleteFileA("ssaver.txt");
    ChildProcess host = StartChild("\"" + ProgramFolder() + "preview_host.exe\" \"" + BuiltSaver() +
                                   "\" \"" + report + "\" 1500");
    ASSERT_NE(nullptr, host.process);
    ASSERT_EQ(0u, WaitChild(host, 60000));
    std::map<std::string, std::string> seen = ReadReport(report);
    EXPECT_EQ("152x112", seen["preview_size"]);
    EXPECT_EQ("yes", seen["started"]);
    ASSERT_EQ("found", seen["saver_window"]);
    EXPECT_EQ("saver", seen["saver_window_process"]);
    EXPECT_EQ(SAVER_CLASS, seen["saver_window_class"]);
    EXPECT_EQ("Preview", seen["saver_window_title"]);
    EXPECT_EQ("152x112", seen["saver_window_size"]);
    EXPECT_EQ("yes", seen["saver_window_parent_is_preview"]);
    ASSERT_EQ("found", seen["gl_window"]);
    EXPECT_EQ(GL_CHILD_CLASS, seen["gl_window_class"]);
    EXPECT_EQ("152x112", seen["gl_window_size"]);
    EXPECT_EQ("yes", seen["saver_running_after_hold"]);
    EXPECT_EQ("yes", seen["ended_after_destroy"]);
    EXPECT_EQ("0", seen["exit_code"]);
    // The start-up log of the preview, in the folder it was started in.
    std::string log = FileText("ssaver.txt");
    EXPECT_NE(std::string::npos, log.find("childX   = 152\nchildY   = 112\n")) << log;
    EXPECT_NE(std::string::npos, log.find("opengl32.dll")) << log;
}

}  // namespace
