// Password verification and change: loading the verifier with the
// screen-saver-running notice, the close check with its quiet time, and the
// password change, on the 9x family; on the NT family none of it acts.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "framework_support.h"
#include "passwords.h"
#include "saver_state.h"

namespace {

// What the stand-in saver window saw while MayCloseSaver ran.
struct CheckWindow {
    LRESULT answer = 0;              // what WM_APP answers
    int appMessages = 0;             // WM_APP messages received
    bool checkingDuringApp = false;  // checkingPassword while WM_APP ran
    LONG nestedAnswer = -1;          // MayCloseSaver called again from inside WM_APP
    bool nestInside = false;         // whether to make that nested call
};
CheckWindow check;

// Window procedure of the stand-in saver window: answers WM_APP like a verifier.
LRESULT CALLBACK CheckWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_APP)
        return DefWindowProcA(window, message, wParam, lParam);
    ++check.appMessages;
    check.checkingDuringApp = saverState.checkingPassword;
    if (check.nestInside)
        check.nestedAnswer = MayCloseSaver(window);
    return check.answer;
}

// Stands for a loaded verifier's entry point; MayCloseSaver never calls it directly.
BOOL WINAPI MarkerVerifier(HWND)
{
    return FALSE;
}

// Creates a hidden top-level window of the given procedure.
HWND CreatePlainWindow(WNDPROC procedure, const char* className)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, className, className, WS_OVERLAPPEDWINDOW, 0, 0, 200, 150, nullptr,
                           nullptr, windowClass.hInstance, nullptr);
}

// Ids of the WM_TIMER messages queued for a window, removing them.
std::vector<WPARAM> TakeQueuedTimers(HWND window)
{
    std::vector<WPARAM> ids;
    MSG message;
    while (PeekMessageA(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE))
        ids.push_back(message.wParam);
    return ids;
}

// Tests of the close check on a stand-in saver window.
class MayCloseSaverTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetSaverState();
        check = CheckWindow();
        window = CreatePlainWindow(CheckWindowProc, "CheckWindow");
        ASSERT_NE(nullptr, window);
        saverState.verifyPassword = MarkerVerifier;
        arrow = LoadCursor(nullptr, IDC_ARROW);
        SetCursor(arrow);
    }
    void TearDown() override { DestroyWindow(window); }
    HWND window = nullptr;
    HCURSOR arrow = nullptr;
};

TEST_F(MayCloseSaverTest, WithoutVerifierAllowsAtOnce)
{
    saverState.verifyPassword = nullptr;
    EXPECT_EQ(1, MayCloseSaver(window));
    EXPECT_EQ(1, saverState.closeAllowed);
    EXPECT_EQ(0, check.appMessages);
    EXPECT_EQ(NO_CHECK_TICK, saverState.lastCheckTick);
}

TEST_F(MayCloseSaverTest, RefusalKeepsWindowHidesCursorAndNotesTick)
{
    check.answer = 0;
    DWORD before = GetTickCount();
    EXPECT_EQ(0, MayCloseSaver(window));
    DWORD after = GetTickCount();
    EXPECT_EQ(1, check.appMessages);
    EXPECT_TRUE(check.checkingDuringApp);
    EXPECT_FALSE(saverState.checkingPassword);
    EXPECT_EQ(0, saverState.closeAllowed);
    EXPECT_EQ(nullptr, GetCursor());
    EXPECT_LE(TicksSince(before, saverState.lastCheckTick), TicksSince(before, after));
}

TEST_F(MayCloseSaverTest, YesSetsCloseAllowedAndLeavesCursor)
{
    check.answer = 1;
    EXPECT_EQ(1, MayCloseSaver(window));
    EXPECT_EQ(1, saverState.closeAllowed);
    EXPECT_EQ(arrow, GetCursor());
    EXPECT_NE(NO_CHECK_TICK, saverState.lastCheckTick);
}

TEST_F(MayCloseSaverTest, VerifierAnswerIsStoredAsGiven)
{
    check.answer = 7;
    EXPECT_EQ(7, MayCloseSaver(window));
    EXPECT_EQ(7, saverState.closeAllowed);
}

TEST_F(MayCloseSaverTest, QuietTimeAfterACheck)
{
    // Less than 200 ms since the last check: refused without asking.
    saverState.lastCheckTick = GetTickCount() - 100;
    SetCursor(arrow);
    EXPECT_EQ(0, MayCloseSaver(window));
    EXPECT_EQ(0, check.appMessages);
    EXPECT_EQ(arrow, GetCursor()) << "a silent refusal does not touch the cursor";

    // 200 ms or more: the verifier is asked again.
    check.answer = 0;
    saverState.lastCheckTick = GetTickCount() - 200;
    EXPECT_EQ(0, MayCloseSaver(window));
    EXPECT_EQ(1, check.appMessages);

    saverState.lastCheckTick = GetTickCount() - 5000;
    check.answer = 1;
    EXPECT_EQ(1, MayCloseSaver(window));
    EXPECT_EQ(2, check.appMessages);
}

TEST_F(MayCloseSaverTest, TickAheadOfNowCountsAsLongAgo)
{
    // A stored tick just after now is almost 2^32 ms back, modulo the wrap.
    saverState.lastCheckTick = GetTickCount() + 1000;
    check.answer = 1;
    EXPECT_EQ(1, MayCloseSaver(window));
    EXPECT_EQ(1, check.appMessages);
}

TEST_F(MayCloseSaverTest, RealTimeRefusalThenQuietThenAskedAgain)
{
    check.answer = 0;
    EXPECT_EQ(0, MayCloseSaver(window));
    ASSERT_EQ(1, check.appMessages);
    DWORD refusedAt = saverState.lastCheckTick;
    EXPECT_EQ(0, MayCloseSaver(window));
    if (TicksSince(refusedAt, GetTickCount()) < 200) {
        EXPECT_EQ(1, check.appMessages) << "asked again inside the quiet time";
    }
    Sleep(250);
    EXPECT_EQ(0, MayCloseSaver(window));
    EXPECT_EQ(2, check.appMessages);
}

TEST_F(MayCloseSaverTest, NestedRequestDuringCheckAnswersZero)
{
    check.nestInside = true;
    check.answer = 1;
    EXPECT_EQ(1, MayCloseSaver(window));
    EXPECT_EQ(0, check.nestedAnswer);
    EXPECT_EQ(1, check.appMessages) << "the nested request must not run the verifier";
}

TEST_F(MayCloseSaverTest, CheckingFlagAnswersZeroAtOnce)
{
    saverState.checkingPassword = true;
    saverState.verifyPassword = nullptr;
    EXPECT_EQ(0, MayCloseSaver(window));
    EXPECT_EQ(0, saverState.closeAllowed);
    EXPECT_EQ(0, check.appMessages);
}

TEST_F(MayCloseSaverTest, RemovesTwoPendingTimersOfTheWindowOnly)
{
    HWND other = CreatePlainWindow(DefWindowProcA, "OtherWindow");
    for (WPARAM id = 1; id <= 3; ++id)
        PostMessageA(window, WM_TIMER, id, 0);
    PostMessageA(other, WM_TIMER, 9, 0);
    check.answer = 0;
    MayCloseSaver(window);
    EXPECT_EQ(std::vector<WPARAM>{3}, TakeQueuedTimers(window));
    EXPECT_EQ(std::vector<WPARAM>{9}, TakeQueuedTimers(other));
    DestroyWindow(other);
}

TEST(TicksSince, DifferenceModuloTheWrap)
{
    EXPECT_EQ(0u, TicksSince(1000, 1000));
    EXPECT_EQ(199u, TicksSince(1000, 1199));
    EXPECT_EQ(200u, TicksSince(1000, 1200));
    EXPECT_EQ(200u, TicksSince(0xFFFFFF9Cu, 0x00000064u));
    EXPECT_EQ(199u, TicksSince(0xFFFFFFFFu, 198u));
    EXPECT_EQ(0xFFFFFFFFu, TicksSince(1u, 0u));
}

// Tests of loading the verifier "PASSWORD.CPL" from the doubles' folders.
class VerifierLoadTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetSaverState();
        ClearDoubleRecords();
        UseDoublesFolder("password");
        SetUsePassword(1);
    }
    void TearDown() override
    {
        UnloadPasswordVerifier();
        SetUsePassword(0, true);
        UseDoublesFolder("");
    }
};

TEST_F(VerifierLoadTest, PasswordInUseLoadsVerifierAndGivesNotice)
{
    if (!saverState.isWin9x)
        GTEST_SKIP() << "9x family only";
    ASSERT_EQ(FALSE, ScreenSaverRunningFlag());
    LoadPasswordVerifier();
    HMODULE loaded = GetModuleHandleA("PASSWORD.CPL");
    ASSERT_NE(nullptr, loaded);
    EXPECT_EQ(loaded, saverState.verifierModule);
    EXPECT_EQ(FindEntryPoint<VerifyScreenSavePwdProc>(loaded, "VerifyScreenSavePwd"),
              saverState.verifyPassword);
    EXPECT_EQ("1", DoubleRecord("DOUBLE_PASSWORD_LOADS"));
    EXPECT_EQ(TRUE, ScreenSaverRunningFlag());

    UnloadPasswordVerifier();
    EXPECT_EQ(nullptr, GetModuleHandleA("PASSWORD.CPL"));
    EXPECT_EQ(nullptr, saverState.verifierModule);
    EXPECT_EQ(nullptr, saverState.verifyPassword);
    EXPECT_EQ(FALSE, ScreenSaverRunningFlag());
    EXPECT_EQ("", DoubleRecord("DOUBLE_PASSWORD_CALLS"));
}

TEST_F(VerifierLoadTest, LoadingAgainUnloadsFirst)
{
    if (!saverState.isWin9x)
        GTEST_SKIP() << "9x family only";
    LoadPasswordVerifier();
    ASSERT_NE(nullptr, saverState.verifyPassword);
    LoadPasswordVerifier();
    EXPECT_EQ("2", DoubleRecord("DOUBLE_PASSWORD_LOADS")) << "the library was not unloaded";
    EXPECT_NE(nullptr, saverState.verifyPassword);
    EXPECT_EQ(TRUE, ScreenSaverRunningFlag());
}

TEST_F(VerifierLoadTest, NoPasswordLoadsNothing)
{
    if (!saverState.isWin9x)
        GTEST_SKIP() << "9x family only";
    const DWORD zero = 0;
    const DWORD eightBytes[2] = {1, 1};
    struct Case {
        const char* name;
        DWORD type;
        const void* bytes;
        DWORD size;
        bool remove;
    } cases[] = {
        {"zero", REG_DWORD, &zero, 4, false},
        {"missing", REG_DWORD, nullptr, 0, true},
        {"too long for 4 bytes", REG_BINARY, eightBytes, 8, false},
    };
    for (const Case& c : cases) {
        if (c.remove)
            SetUsePassword(0, true);
        else
            SetUsePasswordBytes(c.type, c.bytes, c.size);
        LoadPasswordVerifier();
        EXPECT_EQ(nullptr, saverState.verifierModule) << c.name;
        EXPECT_EQ(nullptr, saverState.verifyPassword) << c.name;
        EXPECT_EQ("", DoubleRecord("DOUBLE_PASSWORD_LOADS")) << c.name;
        EXPECT_EQ(FALSE, ScreenSaverRunningFlag()) << c.name;
    }
}

TEST_F(VerifierLoadTest, BinaryValueOfFourBytesCounts)
{
    if (!saverState.isWin9x)
        GTEST_SKIP() << "9x family only";
    const BYTE bytes[4] = {0, 0, 1, 0};
    SetUsePasswordBytes(REG_BINARY, bytes, sizeof bytes);
    LoadPasswordVerifier();
    EXPECT_NE(nullptr, saverState.verifyPassword);
}

TEST_F(VerifierLoadTest, VerifierWithoutEntryIsFreedWithoutNotice)
{
    if (!saverState.isWin9x)
        GTEST_SKIP() << "9x family only";
    UseDoublesFolder("password-bare");
    LoadPasswordVerifier();
    EXPECT_EQ("1", DoubleRecord("DOUBLE_PASSWORD_LOADS"));
    EXPECT_EQ(nullptr, GetModuleHandleA("PASSWORD.CPL"));
    EXPECT_EQ(nullptr, saverState.verifierModule);
    EXPECT_EQ(nullptr, saverState.verifyPassword);
    EXPECT_EQ(FALSE, ScreenSaverRunningFlag());
}

TEST_F(VerifierLoadTest, NoVerifierLibraryMeansNoPassword)
{
    if (!saverState.isWin9x)
        GTEST_SKIP() << "9x family only";
    UseDoublesFolder("");
    LoadPasswordVerifier();
    EXPECT_EQ(nullptr, saverState.verifierModule);
    EXPECT_EQ(FALSE, ScreenSaverRunningFlag());
}

TEST_F(VerifierLoadTest, SetSaverRunningTurnsTheNoticeOnAndOff)
{
    SetSaverRunning(true);
    EXPECT_EQ(saverState.isWin9x ? TRUE : FALSE, ScreenSaverRunningFlag());
    SetSaverRunning(false);
    EXPECT_EQ(FALSE, ScreenSaverRunningFlag());
}

TEST_F(VerifierLoadTest, NtFamilyLoadsNothingAndUnloadsNothing)
{
    if (saverState.isWin9x)
        GTEST_SKIP() << "NT family only";
    LoadPasswordVerifier();
    EXPECT_EQ(nullptr, saverState.verifierModule);
    EXPECT_EQ(nullptr, saverState.verifyPassword);
    EXPECT_EQ(nullptr, GetModuleHandleA("PASSWORD.CPL"));
    EXPECT_EQ("", DoubleRecord("DOUBLE_PASSWORD_LOADS"));
    EXPECT_EQ(FALSE, ScreenSaverRunningFlag());

    // A module put into the record by hand is left alone on this family.
    HMODULE loadedByTest = LoadLibraryA("PASSWORD.CPL");
    ASSERT_NE(nullptr, loadedByTest);
    FreeLibrary(loadedByTest);
    saverState.verifierModule = LoadLibraryA("PASSWORD.CPL");
    UnloadPasswordVerifier();
    EXPECT_EQ(loadedByTest, saverState.verifierModule);
    EXPECT_NE(nullptr, GetModuleHandleA("PASSWORD.CPL"));
    FreeLibrary(saverState.verifierModule);
    saverState.verifierModule = nullptr;
}

// Tests of the password change through the "MPR.DLL" double.
class PasswordChangeTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetSaverState();
        ClearDoubleRecords();
        PreferNativeMpr();
        UseDoublesFolder("mpr");
        foreground = CreateWindowExA(0, "STATIC", "foreground", WS_POPUP | WS_VISIBLE, 10, 10,
                                     100, 100, nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(foreground);
        parent = CreateWindowExA(0, "STATIC", "parent", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                 nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(parent);
        DestroyWindow(foreground);
        UseDoublesFolder("");
    }
    // The record the double expects for a call with this parent.
    static std::string CallWith(HWND window) { return "SCRSAVE|" + HandleText(window) + "|0|0"; }
    HWND foreground = nullptr;
    HWND parent = nullptr;
};

TEST_F(PasswordChangeTest, ParentFromTheText)
{
    if (!saverState.isWin9x)
        GTEST_SKIP() << "9x family only";
    ASSERT_EQ(foreground, GetForegroundWindow());
    EXPECT_EQ(0, RunPasswordChange(HandleText(parent).c_str()));
    EXPECT_EQ(CallWith(parent), DoubleRecord("DOUBLE_MPR_CALL"));
    EXPECT_EQ(nullptr, GetModuleHandleA("MPR.DLL")) << "the library stays loaded";
}

TEST_F(PasswordChangeTest, ForegroundWindowStandsInForAMissingParent)
{
    if (!saverState.isWin9x)
        GTEST_SKIP() << "9x family only";
    ASSERT_EQ(foreground, GetForegroundWindow());
    HWND gone = CreateWindowExA(0, "STATIC", "gone", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    std::string goneText = HandleText(gone);
    DestroyWindow(gone);
    ASSERT_FALSE(IsWindow(gone));
    for (std::string text : {std::string(), std::string("0"), std::string("abc"), goneText}) {
        ClearDoubleRecords();
        EXPECT_EQ(0, RunPasswordChange(text.c_str())) << text;
        EXPECT_EQ(CallWith(foreground), DoubleRecord("DOUBLE_MPR_CALL")) << text;
    }
}

TEST_F(PasswordChangeTest, ChangeSaverPasswordPassesItsParent)
{
    if (!saverState.isWin9x)
        GTEST_SKIP() << "9x family only";
    ChangeSaverPassword(nullptr);
    EXPECT_EQ(CallWith(nullptr), DoubleRecord("DOUBLE_MPR_CALL"));
}

TEST_F(PasswordChangeTest, NtFamilyChangesNothing)
{
    if (saverState.isWin9x)
        GTEST_SKIP() << "NT family only";
    EXPECT_EQ(0, RunPasswordChange(HandleText(parent).c_str()));
    ChangeSaverPassword(parent);
    EXPECT_EQ("", DoubleRecord("DOUBLE_MPR_CALL"));
}

}  // namespace
