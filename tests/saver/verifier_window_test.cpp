// The full-screen saver with the password verifier of the 9x family (the
// "PASSWORD.CPL" double): the check on close, its refusal and quiet time, the
// re-entrant messages while it runs, and the screen-saver-running notice.
// On the NT family the same set-up loads nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework_support.h"
#include "passwords.h"
#include "saver_run.h"
#include "saver_state.h"
#include "saver_window.h"

namespace {

typedef BOOL (WINAPI *VerifyHandler)(HWND owner);
typedef void (WINAPI *SetVerifyHandlerProc)(VerifyHandler handler);

// How the verifier answers, and the owners it was given.
std::function<BOOL(HWND)> verifierAnswer;
std::vector<HWND> verifierOwners;

// The handler the verifier double calls.
BOOL WINAPI TestVerifier(HWND owner)
{
    verifierOwners.push_back(owner);
    return verifierAnswer ? verifierAnswer(owner) : FALSE;
}

// A password in use, the verifier double on the search path.
class PasswordInUseTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetSaverState();
        ResetSaverRun();
        ClearDoubleRecords();
        verifierOwners.clear();
        verifierAnswer = nullptr;
        SetUsePassword(1);
        UseDoublesFolder("password");
        ASSERT_TRUE(PlaceCursorAtStart()) << "the pointer did not reach its start point";
        onSaverCreate = [this](HWND) {
            HMODULE verifier = GetModuleHandleA("PASSWORD.CPL");
            loadedAtCreate = verifier != nullptr;
            noticeAtCreate = ScreenSaverRunningFlag();
            if (verifier)
                FindEntryPoint<SetVerifyHandlerProc>(verifier, "SetVerifyHandler")(TestVerifier);
        };
    }
    void TearDown() override
    {
        ResetSaverRun();
        UnregisterSaverClass();
        UseDoublesFolder("");
        SetUsePassword(0, true);
    }
    // Checks that the verifier is gone and the notice off after the run.
    void ExpectVerifierUnloaded()
    {
        EXPECT_EQ(nullptr, GetModuleHandleA("PASSWORD.CPL"));
        EXPECT_EQ(nullptr, saverState.verifierModule);
        EXPECT_EQ(nullptr, saverState.verifyPassword);
        EXPECT_EQ(FALSE, ScreenSaverRunningFlag());
    }
    bool loadedAtCreate = false;
    BOOL noticeAtCreate = -1;
};

class VerifierWindowTest : public PasswordInUseTest {
protected:
    void SetUp() override
    {
        if (!SystemIsWin9x())
            GTEST_SKIP() << "9x family only";
        PasswordInUseTest::SetUp();
    }
};

TEST_F(VerifierWindowTest, KeyAsksVerifierAndYesCloses)
{
    verifierAnswer = [](HWND) { return TRUE; };
    DWORD keyExit = 1;
    int exitCode = RunScenario(nullptr, {[&](HWND) { keyExit = Xdotool("key a"); }});
    EXPECT_EQ(0u, keyExit);
    EXPECT_EQ(0, exitCode);
    EXPECT_TRUE(loadedAtCreate);
    EXPECT_EQ(TRUE, noticeAtCreate) << "the screen-saver-running notice is on with a verifier";
    EXPECT_EQ(std::vector<HWND>{saverRun.window}, verifierOwners);
    ASSERT_EQ(1, saverRun.Count(WM_APP));
    for (const HookCall& call : saverRun.hookCalls) {
        if (call.message == WM_APP) {
            EXPECT_EQ(1, call.result);
        }
    }
    EXPECT_EQ(1, saverState.closeAllowed);
    EXPECT_TRUE(saverRun.destroyed);
    EXPECT_FALSE(saverRun.endedByTest);
    EXPECT_EQ("1", DoubleRecord("DOUBLE_PASSWORD_LOADS"));
    ExpectVerifierUnloaded();
}

TEST_F(VerifierWindowTest, RefusalKeepsSaverAndResetsReference)
{
    verifierAnswer = [](HWND) { return FALSE; };
    bool aliveAfterRefusal = false;
    HCURSOR cursorAfterRefusal = reinterpret_cast<HCURSOR>(1);
    POINT movedTo = {}, reference = {};
    size_t callsAfterRefusal = 0, callsAfterSmallMove = 0, callsAfterQuietRequest = 0;
    LRESULT firstAnswer = -1, quietAnswer = -1;
    DWORD gap = 0;
    int closesAfterSmallMove = 0;
    RunScenario(nullptr, {
        [](HWND) {
            SetCursor(LoadCursor(nullptr, IDC_ARROW));
            int movesSeen = saverRun.Count(WM_MOUSEMOVE);
            EXPECT_EQ(0u, Xdotool("mousemove_relative 3 0"));
            HandleMessagesUntil([=] { return saverRun.Count(WM_MOUSEMOVE) > movesSeen; });
        },
        [](HWND) {
            EXPECT_EQ(0u, Xdotool("key a"));
            HandleMessagesUntil([] { return !verifierOwners.empty() && !saverState.checkingPassword; });
        },
        [&](HWND window) {
            aliveAfterRefusal = IsWindow(window) != FALSE;
            cursorAfterRefusal = GetCursor();
            GetCursorPos(&movedTo);
            reference = saverState.referenceCursor;
            callsAfterRefusal = verifierOwners.size();
        },
        [&](HWND) {
            // Past the quiet time, 3 more (6 from the start point) must not
            // ask again: travel counts from where the refusal left the cursor.
            Sleep(250);
            EXPECT_EQ(0u, Xdotool("mousemove_relative 3 0"));
        },
        [&](HWND) {
            callsAfterSmallMove = verifierOwners.size();
            closesAfterSmallMove = saverRun.Count(WM_CLOSE);
        },
        [&](HWND window) {
            Sleep(250);
            firstAnswer = SendMessageA(window, WM_CLOSE, 0, 0);
            quietAnswer = SendMessageA(window, WM_CLOSE, 0, 0);
            gap = TicksSince(saverState.lastCheckTick, GetTickCount());
            callsAfterQuietRequest = verifierOwners.size();
        },
        [](HWND) {
            verifierAnswer = [](HWND) { return TRUE; };
            Sleep(250);
            EXPECT_EQ(0u, Xdotool("key a"));
        }});
    EXPECT_TRUE(aliveAfterRefusal);
    EXPECT_EQ(1u, callsAfterRefusal);
    EXPECT_EQ(nullptr, cursorAfterRefusal) << "the cursor is hidden again after a refusal";
    EXPECT_EQ(CURSOR_START.x + 3, movedTo.x);
    EXPECT_EQ(movedTo.x, reference.x) << "the reference point is reset after a refusal";
    EXPECT_EQ(movedTo.y, reference.y);
    EXPECT_EQ(1u, callsAfterSmallMove);
    EXPECT_EQ(1, closesAfterSmallMove);
    EXPECT_EQ(0, firstAnswer);
    EXPECT_EQ(0, quietAnswer);
    if (gap < 200) {
        EXPECT_EQ(2u, callsAfterQuietRequest) << "asked again inside the quiet time";
    }
    EXPECT_EQ(3u, verifierOwners.size());
    EXPECT_EQ(1, saverState.closeAllowed);
    EXPECT_TRUE(saverRun.destroyed);
    EXPECT_FALSE(saverRun.endedByTest);
    ExpectVerifierUnloaded();
}

TEST_F(VerifierWindowTest, MessagesWhileCheckingAreQuiet)
{
    bool checking = false;
    LRESULT nestedClose = -1, setCursorAnswer = -1;
    bool closeQueued = true;
    DWORD keyExit = 1;
    int keysBefore = 0, keysDuring = 0;
    verifierAnswer = [&](HWND owner) {
        checking = saverState.checkingPassword;
        nestedClose = SendMessageA(owner, WM_CLOSE, 0, 0);
        SendMessageA(owner, WM_ACTIVATEAPP, 0, 0);
        SendMessageA(owner, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
        setCursorAnswer = SendMessageA(owner, WM_SETCURSOR, reinterpret_cast<WPARAM>(owner),
                                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        // Like the real verifier's dialog, run a message loop while real input arrives.
        keysBefore = saverRun.Count(WM_KEYDOWN);
        keyExit = Xdotool("key b");
        PumpMessages(300);
        keysDuring = saverRun.Count(WM_KEYDOWN) - keysBefore;
        MSG message;
        closeQueued = PeekMessageA(&message, owner, WM_CLOSE, WM_CLOSE, PM_NOREMOVE) != FALSE;
        return TRUE;
    };
    RunScenario(nullptr, {[](HWND) { EXPECT_EQ(0u, Xdotool("key a")); }});
    EXPECT_EQ(1u, verifierOwners.size()) << "a nested request ran the verifier";
    EXPECT_TRUE(checking);
    EXPECT_EQ(0, nestedClose);
    EXPECT_EQ(0, setCursorAnswer) << "WM_SETCURSOR goes to the platform while checking";
    EXPECT_EQ(0u, keyExit);
    EXPECT_EQ(1, keysDuring) << "the key did not arrive during the check";
    EXPECT_FALSE(closeQueued) << "input or activation closed while checking";
    EXPECT_EQ(1, saverState.closeAllowed);
    EXPECT_TRUE(saverRun.destroyed);
    EXPECT_FALSE(saverRun.endedByTest);
}

TEST_F(VerifierWindowTest, TwoPendingTimersRemovedBeforeCheck)
{
    std::vector<WPARAM> pendingAtCheck;
    verifierAnswer = [&](HWND owner) {
        MSG message;
        while (PeekMessageA(&message, owner, WM_TIMER, WM_TIMER, PM_REMOVE))
            pendingAtCheck.push_back(message.wParam);
        for (WPARAM id : pendingAtCheck)
            PostMessageA(owner, WM_TIMER, id, 0);
        return FALSE;
    };
    LRESULT answer = -1;
    RunScenario(nullptr, {[&](HWND window) {
        for (WPARAM id = 1; id <= 3; ++id)
            PostMessageA(window, WM_TIMER, id, 0);
        answer = SendMessageA(window, WM_CLOSE, 0, 0);
    }});
    EXPECT_EQ(0, answer);
    EXPECT_EQ(std::vector<WPARAM>{3}, pendingAtCheck);
    EXPECT_EQ(0, saverRun.Count(WM_TIMER, 1));
    EXPECT_EQ(0, saverRun.Count(WM_TIMER, 2));
    EXPECT_EQ(1, saverRun.Count(WM_TIMER, 3)) << "the third timer message was lost";
    EXPECT_TRUE(saverRun.endedByTest);
}

TEST_F(VerifierWindowTest, AutoPlayQueryAnswersOneAndClosesThroughCheck)
{
    verifierAnswer = [](HWND) { return TRUE; };
    UINT autoPlay = RegisterWindowMessageA("QueryCancelAutoPlay");
    LRESULT answer = -1;
    RunScenario(nullptr, {[&](HWND window) { answer = SendMessageA(window, autoPlay, 0, 0); }});
    EXPECT_EQ(1, answer);
    EXPECT_EQ(1u, verifierOwners.size());
    EXPECT_TRUE(saverRun.destroyed);
    EXPECT_FALSE(saverRun.endedByTest);
}

TEST_F(VerifierWindowTest, FailedRegistrationStillUnloadsVerifier)
{
    WNDCLASSA taken = {};
    taken.lpfnWndProc = DefWindowProcA;
    taken.hInstance = GetModuleHandleA(nullptr);
    taken.lpszClassName = SAVER_CLASS;
    ASSERT_NE(0, RegisterClassA(&taken));
    EXPECT_EQ(-1, RunScenario(nullptr, {}));
    EXPECT_EQ("1", DoubleRecord("DOUBLE_PASSWORD_LOADS"));
    ExpectVerifierUnloaded();
}

TEST_F(VerifierWindowTest, PreviewLoadsNoVerifier)
{
    HWND parent = CreateWindowExA(0, "STATIC", "Display settings",
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 200, 260, 220, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, parent);
    LRESULT autoPlayAnswer = -1;
    UINT autoPlay = RegisterWindowMessageA("QueryCancelAutoPlay");
    RunScenario(parent,
                {[&](HWND window) { autoPlayAnswer = SendMessageA(window, autoPlay, 0, 0); }});
    DestroyWindow(parent);
    EXPECT_FALSE(loadedAtCreate);
    EXPECT_EQ(FALSE, noticeAtCreate);
    EXPECT_EQ("", DoubleRecord("DOUBLE_PASSWORD_LOADS"));
    EXPECT_EQ(0, autoPlayAnswer);
    EXPECT_TRUE(saverRun.CloseRequested());
}

// The NT family with the same password setting and double.
class NtPasswordTest : public PasswordInUseTest {
protected:
    void SetUp() override
    {
        if (SystemIsWin9x())
            GTEST_SKIP() << "NT family only";
        PasswordInUseTest::SetUp();
    }
};

TEST_F(NtPasswordTest, KeyClosesWithoutAnyVerifier)
{
    DWORD keyExit = 1;
    int exitCode = RunScenario(nullptr, {[&](HWND) { keyExit = Xdotool("key a"); }});
    EXPECT_EQ(0u, keyExit);
    EXPECT_EQ(0, exitCode);
    EXPECT_FALSE(loadedAtCreate);
    EXPECT_EQ(FALSE, noticeAtCreate);
    EXPECT_EQ("", DoubleRecord("DOUBLE_PASSWORD_LOADS"));
    EXPECT_EQ(0, saverRun.Count(WM_APP));
    EXPECT_EQ(0, saverState.closeAllowed);
    EXPECT_EQ(0u, saverState.autoPlayMessage);
    EXPECT_TRUE(saverRun.destroyed);
    EXPECT_FALSE(saverRun.endedByTest);
}

}  // namespace
