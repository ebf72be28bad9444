// The built opengl.scr started as the display settings and users start it:
// every spelling of the switches, odd bytes and quoting in the command line,
// the configuration dialog's owner, the preview inside a window of this
// program, the password change on the 9x family, and the exit codes the
// caller sees.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>

#include "entry_support.h"
#include "test_paths.h"

namespace {

// Windows go at once when destroyed; set before this program's first window.
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

// The built saver's path in quotes, as a command line starts.
std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

// Printable form of a command tail for test messages.
std::string Visible(const std::string& text)
{
    std::string shown;
    for (unsigned char byte : text) {
        if (byte < 32 || byte > 126) {
            char hex[8];
            wsprintfA(hex, "\\x%02X", byte);
            shown += hex;
        } else {
            shown += static_cast<char>(byte);
        }
    }
    return shown;
}

// Expects that the saver ran full screen and ended with 0 when closed.
void ExpectFullScreen(const SaverOutcome& outcome, const std::string& tail)
{
    ASSERT_TRUE(outcome.started) << Visible(tail) << ": not started, error " << outcome.startError;
    EXPECT_NE(nullptr, outcome.fullScreen) << Visible(tail) << ": no full-screen window";
    EXPECT_EQ(nullptr, outcome.dialog) << Visible(tail);
    EXPECT_TRUE(outcome.otherWindows.empty()) << Visible(tail) << ": "
                                              << outcome.otherWindows.front();
    EXPECT_EQ(0u, outcome.exitCode) << Visible(tail);
}

// Expects that the saver showed the configuration dialog over owner and
// ended with the dialog's result for OK (1).
void ExpectDialog(const SaverOutcome& outcome, HWND owner, const std::string& tail)
{
    ASSERT_TRUE(outcome.started) << Visible(tail) << ": not started, error " << outcome.startError;
    ASSERT_NE(nullptr, outcome.dialog) << Visible(tail) << ": no configuration dialog";
    EXPECT_EQ(owner, outcome.dialogOwner) << Visible(tail);
    EXPECT_EQ(nullptr, outcome.fullScreen) << Visible(tail);
    EXPECT_EQ(1u, outcome.exitCode) << Visible(tail);
}

// Expects that the saver showed nothing and ended with -1.
void ExpectRefused(const SaverOutcome& outcome, const std::string& tail)
{
    ASSERT_TRUE(outcome.started) << Visible(tail) << ": not started, error " << outcome.startError;
    EXPECT_EQ(EXIT_MINUS_ONE, outcome.exitCode) << Visible(tail);
    EXPECT_EQ(nullptr, outcome.fullScreen) << Visible(tail);
    EXPECT_EQ(nullptr, outcome.dialog) << Visible(tail);
    EXPECT_TRUE(outcome.otherWindows.empty()) << Visible(tail) << ": "
                                              << outcome.otherWindows.front();
}

// Runs the built saver with the tail after its quoted path and a blank.
SaverOutcome RunWithTail(const std::string& tail)
{
    return RunSaverAndClose(Quoted(BuiltSaver()) + " " + tail);
}

// ---- Full screen ----

TEST(FullScreenSwitch, EverySpellingStartsTheSaver)
{
    for (const char* tail : {"/s", "-S", "/-/s", "- s", "s", "/S", "/s 1234", "/save", "--//s"})
        ExpectFullScreen(RunWithTail(tail), tail);
}

// ---- The program path and what separates it from the tail ----

TEST(ProgramPath, QuotedPathWithBlanksIsSkippedWhole)
{
    std::string copy = SaverCopy("folder with blanks");
    ExpectFullScreen(RunSaverAndClose(Quoted(copy) + " /s"), "quoted path, /s");
    // A path whose last part starts with a switch letter is not taken for the switch.
    std::string tricky = SaverCopy("s p c");
    ExpectRefused(RunSaverAndClose(Quoted(tricky) + " /x"), "quoted \"s p c\" path, /x");
}

TEST(ProgramPath, MissingClosingQuoteLeavesAnEmptyTail)
{
    std::string copy = SaverCopy("folder with blanks");
    SaverOutcome outcome = RunSaverAndClose("\"" + copy + " /s", copy);
    ExpectDialog(outcome, nullptr, "unclosed quote");
}

TEST(ProgramPath, BytesOneToThirtyTwoBeforeTheTailAreSkipped)
{
    std::string gap;
    for (int byte = 1; byte <= 32; ++byte)
        gap += static_cast<char>(byte);
    std::string saver = BuiltSaver();
    ExpectFullScreen(RunSaverAndClose(Quoted(saver) + gap + "/s", saver), "bytes 1-32, /s");
    ExpectFullScreen(RunSaverAndClose(Quoted(saver) + "\t\t/s", saver), "tabs, /s");
    // Unquoted path: it ends at the first byte up to 32.
    ExpectFullScreen(RunSaverAndClose(saver + "\x01\x1F /s", saver), "unquoted path, \\x01\\x1F");
    // Nothing at all between a quoted path and the switch.
    ExpectFullScreen(RunSaverAndClose(Quoted(saver) + "/s", saver), "no blank");
}

TEST(ProgramPath, LeadingBlankMakesThePathTheTail)
{
    // The line starts with bytes up to 32, so no path is skipped: the path's
    // own first letter is the switch.
    std::string saver = BuiltSaver();
    ExpectFullScreen(RunSaverAndClose("\t\x02 saver.scr /x", saver), "\\t\\x02 saver.scr /x");
    ExpectRefused(RunSaverAndClose(" " + Quoted(saver) + " /s", saver), "blank, quoted path, /s");
}

// ---- Switches that name no mode ----

TEST(UnknownSwitch, EndsWithMinusOneShowingNothing)
{
    for (const char* tail : {"/x", "/?", "/1", "/\ts", "/\x01s", "/\xE9", "/preview",
                             "-z /s", "/ /\x1Fs"})
        ExpectRefused(RunWithTail(tail), tail);
}

// ---- Configuration dialog ----

class ConfigDialog : public testing::Test {
protected:
    void SetUp() override
    {
        parent = MakeTestWindow("parent for the dialog", 50, 50);
        foreground = MakeTestWindow("foreground window", 400, 300);
        ASSERT_TRUE(BringToForeground(foreground)) << "the test's window is not in front";
    }
    void TearDown() override
    {
        DestroyWindow(parent);
        DestroyWindow(foreground);
    }
    HWND parent = nullptr;
    HWND foreground = nullptr;
};

TEST_F(ConfigDialog, EmptyTailHasNoOwner)
{
    ExpectDialog(RunSaverAndClose(Quoted(BuiltSaver())), nullptr, "(empty)");
    ExpectDialog(RunSaverAndClose(Quoted(BuiltSaver()) + "  \t "), nullptr, "(blanks only)");
    // A tail of switch separators only is empty too.
    ExpectDialog(RunWithTail("/ - /"), nullptr, "/ - /");
}

TEST_F(ConfigDialog, HandleAfterColonIsTheOwner)
{
    for (std::string tail : {"/c:", "/C:", "-c:", "c:"}) {
        tail += HandleText(parent);
        ExpectDialog(RunWithTail(tail), parent, tail);
        BringToForeground(foreground);
    }
}

TEST_F(ConfigDialog, BadOrMissingHandleFallsBackToTheForegroundWindow)
{
    std::string unused = HandleText(UnusedWindowHandle());
    std::string real = HandleText(parent);
    for (const std::string& tail :
         {std::string("/c:0"), std::string("/c:abc"), std::string("/c"), std::string("/c ") + real,
          std::string("/c: ") + real, std::string("/c:") + unused, std::string("/config"),
          std::string("/c:-") + real}) {
        ASSERT_TRUE(BringToForeground(foreground));
        ExpectDialog(RunWithTail(tail), foreground, tail);
    }
}

// ---- Preview inside a window of this program ----

class PreviewSwitch : public testing::Test {
protected:
    void SetUp() override { parent = MakeTestWindow("preview parent", 100, 100, 320, 240); }
    void TearDown() override
    {
        if (IsWindow(parent))
            DestroyWindow(parent);
    }
    HWND parent = nullptr;
};

TEST_F(PreviewSwitch, DrawsInsideTheWindowUntilItIsDestroyed)
{
    for (const char* switchText : {"/p ", "/P", "-l ", "/l   "}) {
        if (!IsWindow(parent))
            parent = MakeTestWindow("preview parent", 100, 100, 320, 240);
        std::string tail = switchText + HandleText(parent);
        ChildProcess saver = StartChild(Quoted(BuiltSaver()) + " " + tail);
        ASSERT_NE(nullptr, saver.process);
        HWND preview = nullptr;
        WaitUntil(
            [&] {
                preview = FindWindowExA(parent, nullptr, SAVER_CLASS, "Preview");
                return preview || WaitForSingleObject(saver.process, 0) == WAIT_OBJECT_0;
            },
            15000);
        ASSERT_NE(nullptr, preview) << tail << ": no preview window inside the parent; exit code "
                                    << WaitChild(saver, 10000);
        DWORD owner = 0;
        GetWindowThreadProcessId(preview, &owner);
        EXPECT_EQ(saver.processId, owner) << tail;
        SIZE size = ClientSize(preview);
        SIZE parentSize = ClientSize(parent);
        EXPECT_EQ(parentSize.cx, size.cx) << tail;
        EXPECT_EQ(parentSize.cy, size.cy) << tail;
        HWND gl = nullptr;
        WaitUntil([&] { return (gl = DescendantOfClass(preview, GL_CHILD_CLASS)) != nullptr; },
                  10000);
        EXPECT_NE(nullptr, gl) << tail << ": no GL child window";
        EXPECT_EQ(nullptr, TopWindowOf(saver.processId, nullptr, nullptr))
            << tail << ": the preview showed a window of its own";
        // The windows show while the saver still creates them; a parent
        // destroyed before it waits for messages would end that creation.
        EXPECT_EQ(0u, WaitForInputIdle(saver.process, 15000)) << tail;
        DestroyWindow(parent);
        EXPECT_EQ(0u, WaitChildHandlingMessages(saver, 15000)) << tail;
    }
}

TEST_F(PreviewSwitch, HandleThatNamesNoWindowEndsWithMinusOne)
{
    std::string real = HandleText(parent);
    for (const std::string& tail :
         {std::string("/p"), std::string("/p 0"), std::string("/p abc"), std::string("/l 0"),
          "/p " + HandleText(UnusedWindowHandle()), "/preview " + real, "/p\t" + real,
          "/p -" + real}) {
        ExpectRefused(RunWithTail(tail), tail);
    }
}

// ---- Password change ----

// The password-change double's record file, filled by a started saver.
class PasswordChange : public testing::Test {
protected:
    void SetUp() override
    {
        PreferNativeMpr();
        saver = SaverCopy("password change", {{"mpr", "MPR.DLL"}});
        record = RunDirPath("mpr-record.txt");
        DeleteFileA(record.c_str());
        SetEnvironmentVariableA("DOUBLE_RECORD_FILE", record.c_str());
        owner = MakeTestWindow("password owner", 50, 50);
        foreground = MakeTestWindow("foreground window", 400, 300);
        ASSERT_TRUE(BringToForeground(foreground));
    }
    void TearDown() override
    {
        SetEnvironmentVariableA("DOUBLE_RECORD_FILE", nullptr);
        DestroyWindow(owner);
        DestroyWindow(foreground);
    }
    // The lines the double wrote, then empties the record.
    std::string TakeRecord()
    {
        std::ifstream file(record);
        std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        file.close();
        DeleteFileA(record.c_str());
        return text;
    }
    std::string saver, record;
    HWND owner = nullptr;
    HWND foreground = nullptr;
};

TEST_F(PasswordChange, NineXFamilyRunsTheChangeOverTheParent)
{
    if (!SystemIsWin9x())
        GTEST_SKIP() << "9x family only";
    SaverOutcome outcome = RunSaverAndClose(Quoted(saver) + " /a " + HandleText(owner));
    EXPECT_EQ(0u, outcome.exitCode);
    EXPECT_EQ(nullptr, outcome.fullScreen);
    EXPECT_EQ(nullptr, outcome.dialog);
    EXPECT_EQ("load\nPwdChangePasswordA SCRSAVE|" + HandleText(owner) + "|0|0\n", TakeRecord());

    outcome = RunSaverAndClose(Quoted(saver) + " -A" + HandleText(owner));
    EXPECT_EQ(0u, outcome.exitCode);
    EXPECT_EQ("load\nPwdChangePasswordA SCRSAVE|" + HandleText(owner) + "|0|0\n", TakeRecord());
}

TEST_F(PasswordChange, NineXFamilyFallsBackToTheForegroundWindow)
{
    if (!SystemIsWin9x())
        GTEST_SKIP() << "9x family only";
    for (const std::string& tail : {std::string("/a"), std::string("/a 0"), std::string("/a abc"),
                                    "/a " + HandleText(UnusedWindowHandle())}) {
        ASSERT_TRUE(BringToForeground(foreground));
        SaverOutcome outcome = RunSaverAndClose(Quoted(saver) + " " + tail);
        EXPECT_EQ(0u, outcome.exitCode) << tail;
        EXPECT_EQ("load\nPwdChangePasswordA SCRSAVE|" + HandleText(foreground) + "|0|0\n",
                  TakeRecord())
            << tail;
    }
}

TEST_F(PasswordChange, OtherSystemsRefuseWithoutLoadingAnything)
{
    if (SystemIsWin9x())
        GTEST_SKIP() << "NT family only";
    for (const std::string& tail : {"/a " + HandleText(owner), std::string("/a"), std::string("A")}) {
        ExpectRefused(RunSaverAndClose(Quoted(saver) + " " + tail), tail);
        EXPECT_EQ("", TakeRecord()) << tail << ": the password-change library was loaded";
    }
}

}  // namespace
