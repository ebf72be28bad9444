// The saver window on a real Wine desktop: its class and two modes, the close
// rules of the full-screen window, the preview's immunity to them, and the
// single-instance test. Mouse, key and button cases use real input: xdotool
// on the test's X display, and SendInput through Wine's input queue.
#include <gtest/gtest.h>
#include <windows.h>
#include <imm.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "framework_support.h"
#include "passwords.h"
#include "saver_run.h"
#include "saver_state.h"
#include "saver_window.h"
#include "test_paths.h"

namespace {

// The window's title as other programs read it.
std::string TitleOf(HWND window)
{
    char text[64] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// The class name of a window.
std::string ClassOf(HWND window)
{
    char text[64] = {};
    GetClassNameA(window, text, sizeof text);
    return text;
}

// Common set-up of the saver window tests: fresh state, no password in use.
class SaverWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetSaverState();
        ResetSaverRun();
        ClearDoubleRecords();
        SetUsePassword(0, true);
        ASSERT_TRUE(PlaceCursorAtStart()) << "the pointer did not reach its start point";
    }
    void TearDown() override
    {
        ResetSaverRun();
        UnregisterSaverClass();
    }
};

// ---- Full screen: the window and its class ----

class FullScreenTest : public SaverWindowTest {};

TEST_F(FullScreenTest, WindowCoversScreenOnTopWithItsClass)
{
    HWND windowAtCreate = reinterpret_cast<HWND>(1);
    onSaverCreate = [&](HWND) { windowAtCreate = saverState.saverWindow; };
    RECT rect = {};
    LONG_PTR style = 0, exStyle = 0;
    HWND foreground = nullptr;
    HCURSOR cursor = reinterpret_cast<HCURSOR>(1);
    std::string title, className;
    int exitCode = RunScenario(nullptr, {[&](HWND window) {
        GetWindowRect(window, &rect);
        style = GetWindowLongPtrA(window, GWL_STYLE);
        exStyle = GetWindowLongPtrA(window, GWL_EXSTYLE);
        foreground = GetForegroundWindow();
        cursor = GetCursor();
        title = TitleOf(window);
        className = ClassOf(window);
        EXPECT_EQ(0x2Bu, GetClassLongPtrA(window, GCL_STYLE));
        EXPECT_EQ(reinterpret_cast<ULONG_PTR>(GetStockObject(BLACK_BRUSH)),
                  GetClassLongPtrA(window, GCLP_HBRBACKGROUND));
        EXPECT_EQ(0u, GetClassLongPtrA(window, GCLP_HICON));
        EXPECT_EQ(0u, GetClassLongPtrA(window, GCLP_HCURSOR));
        EXPECT_EQ(saverState.instance,
                  reinterpret_cast<HINSTANCE>(GetClassLongPtrA(window, GCLP_HMODULE)));
    }});
    EXPECT_EQ(0, exitCode);
    EXPECT_TRUE(saverRun.endedByTest);
    EXPECT_EQ(nullptr, windowAtCreate) << "the handle is published after creation returns";
    EXPECT_EQ(saverRun.window, saverState.saverWindow);
    EXPECT_FALSE(saverState.isPreview);
    EXPECT_EQ(className, SAVER_CLASS);
    EXPECT_EQ("Screen Saver", title);
    EXPECT_EQ(0x96000000, style);
    EXPECT_EQ(WS_EX_TOPMOST, exStyle);
    EXPECT_EQ(0, rect.left);
    EXPECT_EQ(0, rect.top);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), rect.right);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), rect.bottom);
    EXPECT_EQ(saverRun.window, foreground);
    EXPECT_EQ(nullptr, cursor) << "the cursor is hidden over the full-screen saver";
    EXPECT_EQ(CURSOR_START.x, saverState.referenceCursor.x);
    EXPECT_EQ(CURSOR_START.y, saverState.referenceCursor.y);
    EXPECT_GE(saverRun.Count(WM_CREATE), 1);
    EXPECT_TRUE(saverRun.destroyed);
}

TEST_F(FullScreenTest, InputMethodDetachedWhileRunningAndGivenBack)
{
    if (!GetModuleHandleA("IMM32.DLL"))
        GTEST_SKIP() << "no input-method library in this process";
    HIMC whileRunning = reinterpret_cast<HIMC>(1);
    HIMC atDestroy = nullptr;
    onSaverDestroy = [&](HWND window) { atDestroy = ImmGetContext(window); };
    RunScenario(nullptr, {[&](HWND window) { whileRunning = ImmGetContext(window); }});
    EXPECT_EQ(GetModuleHandleA("IMM32.DLL"), saverState.immModule);
    EXPECT_NE(nullptr, saverState.immAssociateContext);
    ASSERT_NE(nullptr, saverState.savedInputContext) << "the window had no input context";
    EXPECT_EQ(nullptr, whileRunning);
    EXPECT_EQ(saverState.savedInputContext, atDestroy);
}

TEST_F(FullScreenTest, TitleNeverChanges)
{
    LRESULT answer = -1;
    std::string title;
    RunScenario(nullptr, {[&](HWND window) {
        answer = SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Changed"));
        SetWindowTextA(window, "Changed again");
        title = TitleOf(window);
    }});
    EXPECT_EQ(0, answer);
    EXPECT_EQ("Screen Saver", title);
    EXPECT_EQ(0, saverRun.Count(WM_SETTEXT));
}

TEST_F(FullScreenTest, CursorHiddenOnSetCursorAndShow)
{
    LRESULT answer = 0;
    HCURSOR afterSetCursor = reinterpret_cast<HCURSOR>(1);
    HCURSOR afterShow = reinterpret_cast<HCURSOR>(1);
    RunScenario(nullptr, {[&](HWND window) {
        SetCursor(LoadCursor(nullptr, IDC_ARROW));
        answer = SendMessageA(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                              MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        afterSetCursor = GetCursor();
        SetCursor(LoadCursor(nullptr, IDC_ARROW));
        SendMessageA(window, WM_SHOWWINDOW, TRUE, 0);
        afterShow = GetCursor();
    }});
    EXPECT_EQ(1, answer);
    EXPECT_EQ(nullptr, afterSetCursor);
    EXPECT_EQ(nullptr, afterShow);
    EXPECT_FALSE(saverRun.CloseRequested());
}

// ---- Full screen: mouse travel, with both real input paths ----

// Moves the mouse by real input: xdotool on the X display, or SendInput.
struct MouseInput {
    const char* name;
    void (*move)(int dx, int dy);
};

void MoveWithXdotool(int dx, int dy)
{
    EXPECT_EQ(0u, Xdotool("mousemove_relative -- " + std::to_string(dx) + " " +
                          std::to_string(dy)));
}

const MouseInput MOUSE_INPUTS[] = {{"xdotool", MoveWithXdotool}, {"SendInput", SendMouseMove}};

class MouseTravelTest : public SaverWindowTest, public testing::WithParamInterface<MouseInput> {
protected:
    // A step that moves the mouse by the given amounts and waits until the
    // saver has seen the move: two moves that reach a busy queue together
    // arrive as one.
    Step Move(int dx, int dy)
    {
        return [=](HWND) {
            int movesSeen = saverRun.Count(WM_MOUSEMOVE);
            GetParam().move(dx, dy);
            HandleMessagesUntil([=] { return saverRun.Count(WM_MOUSEMOVE) > movesSeen; });
        };
    }
    // A step that notes where the cursor is and whether a close was requested so far.
    Step Note(POINT* cursor, bool* closed)
    {
        return [=](HWND) {
            GetCursorPos(cursor);
            *closed = saverRun.CloseRequested();
        };
    }
};

TEST_P(MouseTravelTest, TravelOfFourDoesNotClose)
{
    POINT afterX = {}, afterXY = {};
    bool closedX = true, closedXY = true;
    int movesBefore = 0;
    RunScenario(nullptr, {[&](HWND) { movesBefore = saverRun.Count(WM_MOUSEMOVE); },
                          Move(4, 0), Note(&afterX, &closedX),
                          Move(-4, 0), Move(2, 2), Note(&afterXY, &closedXY)});
    EXPECT_EQ(CURSOR_START.x + 4, afterX.x);
    EXPECT_EQ(CURSOR_START.y, afterX.y);
    EXPECT_EQ(CURSOR_START.x + 2, afterXY.x);
    EXPECT_EQ(CURSOR_START.y + 2, afterXY.y);
    EXPECT_GE(saverRun.Count(WM_MOUSEMOVE), movesBefore + 3) << "the moves did not arrive";
    EXPECT_FALSE(closedX);
    EXPECT_FALSE(closedXY);
    EXPECT_TRUE(saverRun.endedByTest);
    EXPECT_EQ(CURSOR_START.x, saverState.referenceCursor.x);
    EXPECT_EQ(CURSOR_START.y, saverState.referenceCursor.y);
}

TEST_P(MouseTravelTest, TravelOfFiveCloses)
{
    int exitCode = RunScenario(nullptr, {Move(3, 2)});
    EXPECT_EQ(0, exitCode);
    EXPECT_TRUE(saverRun.CloseRequested());
    EXPECT_TRUE(saverRun.destroyed);
    EXPECT_FALSE(saverRun.endedByTest);
    EXPECT_EQ(CURSOR_START.x + 3, saverState.referenceCursor.x) << "the reference moves on a close";
    EXPECT_EQ(CURSOR_START.y + 2, saverState.referenceCursor.y);
}

TEST_P(MouseTravelTest, TravelCountsBothDirections)
{
    RunScenario(nullptr, {Move(-3, -2)});
    EXPECT_TRUE(saverRun.CloseRequested());
    EXPECT_FALSE(saverRun.endedByTest);
}

TEST_P(MouseTravelTest, SmallMovesAddUp)
{
    POINT afterFirst = {};
    bool closedAfterFirst = true;
    RunScenario(nullptr, {Move(3, 0), Note(&afterFirst, &closedAfterFirst), Move(3, 0)});
    EXPECT_EQ(CURSOR_START.x + 3, afterFirst.x);
    EXPECT_FALSE(closedAfterFirst);
    EXPECT_TRUE(saverRun.CloseRequested());
    EXPECT_FALSE(saverRun.endedByTest);
    EXPECT_EQ(CURSOR_START.x + 6, saverState.referenceCursor.x);
}

INSTANTIATE_TEST_SUITE_P(RealInput, MouseTravelTest, testing::ValuesIn(MOUSE_INPUTS),
                         [](const testing::TestParamInfo<MouseInput>& info) {
                             return std::string(info.param.name);
                         });

// ---- Full screen: keys and buttons through xdotool ----

struct KeyOrButton {
    const char* name;
    const char* xdotoolArguments;
    UINT message;
};

const KeyOrButton KEYS_AND_BUTTONS[] = {
    {"Key", "key a", WM_KEYDOWN},
    {"AltKey", "key alt", WM_SYSKEYDOWN},
    {"LeftButton", "click 1", WM_LBUTTONDOWN},
    {"MiddleButton", "click 2", WM_MBUTTONDOWN},
    {"RightButton", "click 3", WM_RBUTTONDOWN},
};

class KeyAndButtonTest : public SaverWindowTest,
                         public testing::WithParamInterface<KeyOrButton> {};

TEST_P(KeyAndButtonTest, Closes)
{
    DWORD xdotoolExit = 1;
    int exitCode = RunScenario(
        nullptr, {[&](HWND) { xdotoolExit = Xdotool(GetParam().xdotoolArguments); }});
    EXPECT_EQ(0u, xdotoolExit);
    EXPECT_EQ(0, exitCode);
    EXPECT_GE(saverRun.Count(GetParam().message), 1) << "the input did not arrive";
    EXPECT_TRUE(saverRun.CloseRequested());
    EXPECT_FALSE(saverRun.endedByTest);
}

INSTANTIATE_TEST_SUITE_P(RealInput, KeyAndButtonTest, testing::ValuesIn(KEYS_AND_BUTTONS),
                         [](const testing::TestParamInfo<KeyOrButton>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(FullScreenTest, KeyThroughSendInputCloses)
{
    RunScenario(nullptr, {[](HWND) { SendKey('Q'); }});
    EXPECT_EQ(1, saverRun.Count(WM_KEYDOWN, 'Q'));
    EXPECT_TRUE(saverRun.CloseRequested());
    EXPECT_FALSE(saverRun.endedByTest);
}

// ---- Full screen: activation, power and other messages ----

struct SentMessage {
    const char* name;
    UINT message;
    WPARAM wParam;
    bool closes;
};

const SentMessage SENT_MESSAGES[] = {
    {"ActivateApp1", WM_ACTIVATEAPP, 1, false},
    {"ActivateApp0", WM_ACTIVATEAPP, 0, true},
    {"PowerSuspendRequest", WM_POWER, PWR_SUSPENDREQUEST, false},
    {"PowerSuspendResume", WM_POWER, PWR_SUSPENDRESUME, false},
    {"PowerCriticalResume", WM_POWER, PWR_CRITICALRESUME, true},
    {"PowerBroadcastSuspend", WM_POWERBROADCAST, PBT_APMSUSPEND, true},
    {"PowerBroadcastStatus", WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, true},
    {"PowerBroadcastZero", WM_POWERBROADCAST, 0, true},
    {"KeyUp", WM_KEYUP, 'A', false},
    {"ButtonUp", WM_LBUTTONUP, 0, false},
    {"DoubleClick", WM_LBUTTONDBLCLK, 0, false},
};

class SentMessageTest : public SaverWindowTest,
                        public testing::WithParamInterface<SentMessage> {};

TEST_P(SentMessageTest, ClosesOrNot)
{
    int seenBefore = -1, seenAfter = -1;
    RunScenario(nullptr, {[&](HWND window) {
        seenBefore = saverRun.Count(GetParam().message, GetParam().wParam);
        SendMessageA(window, GetParam().message, GetParam().wParam, 0);
        seenAfter = saverRun.Count(GetParam().message, GetParam().wParam);
    }});
    EXPECT_EQ(seenBefore + 1, seenAfter);
    EXPECT_EQ(GetParam().closes, saverRun.CloseRequested());
    EXPECT_EQ(!GetParam().closes, saverRun.endedByTest);
}

INSTANTIATE_TEST_SUITE_P(Messages, SentMessageTest, testing::ValuesIn(SENT_MESSAGES),
                         [](const testing::TestParamInfo<SentMessage>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(FullScreenTest, SystemCommandsSwallowedOrPassedToHook)
{
    // The hook keeps system commands away from the platform's default handling.
    hookOverride = [](HWND, UINT message, WPARAM, LPARAM, LRESULT* result) {
        *result = 0;
        return message == WM_SYSCOMMAND;
    };
    std::vector<LRESULT> swallowedAnswers;
    RunScenario(nullptr, {[&](HWND window) {
        for (WPARAM command : {SC_SCREENSAVE, SC_NEXTWINDOW, SC_PREVWINDOW})
            swallowedAnswers.push_back(SendMessageA(window, WM_SYSCOMMAND, command, 0));
        for (WPARAM low = 1; low <= 0xF; ++low)
            SendMessageA(window, WM_SYSCOMMAND, SC_SCREENSAVE | low, 0);
        SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    }});
    EXPECT_EQ((std::vector<LRESULT>{0, 0, 0}), swallowedAnswers);
    EXPECT_EQ(0, saverRun.Count(WM_SYSCOMMAND, SC_SCREENSAVE));
    EXPECT_EQ(0, saverRun.Count(WM_SYSCOMMAND, SC_NEXTWINDOW));
    EXPECT_EQ(0, saverRun.Count(WM_SYSCOMMAND, SC_PREVWINDOW));
    for (WPARAM low = 1; low <= 0xF; ++low)
        EXPECT_EQ(1, saverRun.Count(WM_SYSCOMMAND, SC_SCREENSAVE | low)) << low;
    EXPECT_EQ(1, saverRun.Count(WM_SYSCOMMAND, SC_CLOSE));
}

TEST_F(FullScreenTest, SystemCloseCommandClosesThroughHook)
{
    RunScenario(nullptr, {[](HWND window) { SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }});
    EXPECT_EQ(1, saverRun.Count(WM_SYSCOMMAND, SC_CLOSE));
    EXPECT_TRUE(saverRun.CloseRequested());
    EXPECT_FALSE(saverRun.endedByTest);
}

TEST_F(FullScreenTest, CloseRequestClosesAtOnceWithoutPassword)
{
    UseDoublesFolder("password");
    int exitCode = RunScenario(nullptr, {[](HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }});
    UseDoublesFolder("");
    EXPECT_EQ(0, exitCode);
    EXPECT_TRUE(saverRun.destroyed);
    EXPECT_FALSE(saverRun.endedByTest);
    EXPECT_EQ(0, saverRun.Count(WM_APP)) << "no verifier runs without a password";
    EXPECT_EQ("", DoubleRecord("DOUBLE_PASSWORD_LOADS"));
    // Only the 9x family's close check records that the user may leave.
    EXPECT_EQ(saverState.isWin9x ? 1 : 0, saverState.closeAllowed);
}

TEST_F(FullScreenTest, PrivateVerifierMessageWithoutVerifier)
{
    LRESULT answer = -1;
    RunScenario(nullptr, {[&](HWND window) { answer = SendMessageA(window, WM_APP, 0, 0); }});
    // The 9x family answers "may leave" when no verifier is loaded; the NT
    // family leaves the message to the platform, which answers 0.
    EXPECT_EQ(saverState.isWin9x ? 1 : 0, answer);
    EXPECT_FALSE(saverRun.CloseRequested());
}

TEST_F(FullScreenTest, AutoPlayQueryOnlyOnThe9xFamily)
{
    UINT autoPlay = RegisterWindowMessageA("QueryCancelAutoPlay");
    LRESULT autoPlayAnswer = -1, nullAnswer = -1;
    bool closedByNull = true;
    RunScenario(nullptr, {[&](HWND window) {
                              nullAnswer = SendMessageA(window, WM_NULL, 0, 0);
                          },
                          [&](HWND window) {
                              closedByNull = saverRun.CloseRequested();
                              autoPlayAnswer = SendMessageA(window, autoPlay, 0, 0);
                          }});
    EXPECT_EQ(0, nullAnswer);
    EXPECT_FALSE(closedByNull);
    EXPECT_EQ(0, autoPlayAnswer) << "answered 0 when no verifier is loaded";
    if (saverState.isWin9x) {
        EXPECT_EQ(autoPlay, saverState.autoPlayMessage);
        EXPECT_TRUE(saverRun.CloseRequested());
    } else {
        EXPECT_EQ(0u, saverState.autoPlayMessage);
        EXPECT_FALSE(saverRun.CloseRequested());
        EXPECT_TRUE(saverRun.endedByTest);
    }
}

TEST_F(FullScreenTest, AfterCloseAllowedTimerPaintAndInputBypassHook)
{
    LRESULT timerAnswer = -1;
    int timersBefore = 0;
    DWORD xdotoolExit = 1;
    size_t callsAtAllow = 0;
    RunScenario(nullptr, {[&](HWND window) {
                              SendMessageA(window, WM_TIMER, 5, 0);
                              timersBefore = saverRun.Count(WM_TIMER, 5);
                              saverState.closeAllowed = 1;
                              callsAtAllow = saverRun.hookCalls.size();
                              timerAnswer = SendMessageA(window, WM_TIMER, 5, 0);
                              SendMessageA(window, WM_PAINT, 0, 0);
                              for (UINT message : {WM_KEYDOWN, WM_SYSKEYDOWN, WM_MOUSEMOVE,
                                                   WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN})
                                  SendMessageA(window, message, 0, 0);
                          },
                          [&](HWND) {
                              xdotoolExit = Xdotool("key a");
                              SendMouseMove(50, 50);
                          },
                          [](HWND) {}});
    EXPECT_EQ(1, timersBefore) << "timer messages reach the hook before";
    EXPECT_EQ(0, timerAnswer);
    EXPECT_EQ(0u, xdotoolExit);
    std::vector<UINT> bypassed = {WM_TIMER, WM_PAINT, WM_KEYDOWN, WM_SYSKEYDOWN, WM_MOUSEMOVE,
                                  WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
    for (size_t i = callsAtAllow; i < saverRun.hookCalls.size(); ++i)
        for (UINT message : bypassed)
            EXPECT_NE(message, saverRun.hookCalls[i].message) << "reached the hook";
    EXPECT_FALSE(saverRun.CloseRequested()) << "input closes nothing once leaving is allowed";
    EXPECT_TRUE(saverRun.endedByTest);
}

TEST_F(FullScreenTest, CloseRulesQuietWhileCheckingPassword)
{
    bool closeQueuedWhileChecking = true;
    RunScenario(nullptr, {[&](HWND window) {
        saverState.checkingPassword = true;
        SendMessageA(window, WM_KEYDOWN, 'A', 0);
        SendMessageA(window, WM_ACTIVATEAPP, 0, 0);
        SendMessageA(window, WM_POWERBROADCAST, 0, 0);
        SendMessageA(window, WM_MOUSEMOVE, 0, 0);
        MSG message;
        closeQueuedWhileChecking =
            PeekMessageA(&message, window, WM_CLOSE, WM_CLOSE, PM_NOREMOVE) != FALSE;
        saverState.checkingPassword = false;
        SendMessageA(window, WM_KEYDOWN, 'A', 0);
    }});
    EXPECT_FALSE(closeQueuedWhileChecking);
    EXPECT_TRUE(saverRun.CloseRequested()) << "the rules apply again after the check";
}

TEST_F(FullScreenTest, RegistrationFailureReturnsWithoutWindow)
{
    WNDCLASSA taken = {};
    taken.lpfnWndProc = DefWindowProcA;
    taken.hInstance = GetModuleHandleA(nullptr);
    taken.lpszClassName = SAVER_CLASS;
    ASSERT_NE(0, RegisterClassA(&taken));
    int exitCode = RunScenario(nullptr, {});
    EXPECT_EQ(-1, exitCode);
    EXPECT_EQ(nullptr, saverRun.window);
    EXPECT_TRUE(saverRun.hookCalls.empty());
}

TEST_F(FullScreenTest, CreationRefusedByHookReturnsWithoutLoop)
{
    hookOverride = [](HWND, UINT message, WPARAM, LPARAM, LRESULT* result) {
        *result = -1;
        return message == WM_CREATE;
    };
    EXPECT_EQ(-1, RunScenario(nullptr, {}));
    EXPECT_EQ(nullptr, saverState.saverWindow);
}

// ---- Preview ----

// The display settings' preview window, recording what is posted to it.
struct PreviewParent {
    std::vector<HookCall> received;
};
PreviewParent previewParent;

LRESULT CALLBACK PreviewParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_HELP || message == WM_CONTEXTMENU)
        previewParent.received.push_back({message, wParam, lParam, 0});
    return DefWindowProcA(window, message, wParam, lParam);
}

class PreviewTest : public SaverWindowTest {
protected:
    void SetUp() override
    {
        SaverWindowTest::SetUp();
        previewParent = PreviewParent();
        WNDCLASSA parentClass = {};
        parentClass.lpfnWndProc = PreviewParentProc;
        parentClass.hInstance = GetModuleHandleA(nullptr);
        parentClass.lpszClassName = "PreviewParent";
        RegisterClassA(&parentClass);
        parent = CreateWindowExA(0, "PreviewParent", "Display settings",
                                 WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 200, 260, 220, nullptr,
                                 nullptr, parentClass.hInstance, nullptr);
        ASSERT_NE(nullptr, parent);
        PumpMessages(50);
    }
    void TearDown() override
    {
        if (IsWindow(parent))
            DestroyWindow(parent);
        SaverWindowTest::TearDown();
    }
    HWND parent = nullptr;
};

TEST_F(PreviewTest, ChildFillsTheParentsClientArea)
{
    RECT client = {}, rect = {};
    LONG_PTR style = 0, exStyle = -1;
    HWND parentSeen = nullptr;
    std::string title;
    int exitCode = RunScenario(parent, {[&](HWND window) {
        GetClientRect(parent, &client);
        GetWindowRect(window, &rect);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
        style = GetWindowLongPtrA(window, GWL_STYLE);
        exStyle = GetWindowLongPtrA(window, GWL_EXSTYLE);
        parentSeen = GetParent(window);
        title = TitleOf(window);
    }});
    EXPECT_EQ(0, exitCode);
    EXPECT_TRUE(saverState.isPreview);
    EXPECT_EQ(saverRun.window, saverState.saverWindow);
    EXPECT_EQ("Preview", title);
    EXPECT_EQ(0x52000000, style);
    EXPECT_EQ(0, exStyle);
    EXPECT_EQ(parent, parentSeen);
    EXPECT_EQ(0, rect.left);
    EXPECT_EQ(0, rect.top);
    EXPECT_EQ(client.right, rect.right);
    EXPECT_EQ(client.bottom, rect.bottom);
}

TEST_F(PreviewTest, NothingButTheParentClosesIt)
{
    hookOverride = [](HWND, UINT message, WPARAM, LPARAM, LRESULT* result) {
        *result = 0;
        return message == WM_SYSCOMMAND;
    };
    DWORD keyExit = 1, moveExit = 1, clickExit = 1;
    bool closedBeforeParent = true;
    bool existedBeforeParent = false;
    int exitCode = RunScenario(parent, {
        [&](HWND window) {
            for (UINT message : {WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN,
                                 WM_MBUTTONDOWN})
                SendMessageA(window, message, 0, 0);
            SendMessageA(window, WM_ACTIVATEAPP, 0, 0);
            SendMessageA(window, WM_POWER, PWR_CRITICALRESUME, 0);
            SendMessageA(window, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
            SendMessageA(window, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
        },
        [&](HWND window) {
            POINT inside = {20, 20};
            ClientToScreen(window, &inside);
            moveExit = Xdotool("mousemove " + std::to_string(inside.x) + " " +
                               std::to_string(inside.y));
        },
        [&](HWND) { clickExit = Xdotool("click 1"); },
        [&](HWND window) {
            SetFocus(window);
            keyExit = Xdotool("key a");
        },
        [&](HWND window) {
            closedBeforeParent = saverRun.CloseRequested();
            existedBeforeParent = IsWindow(window) != FALSE;
            DestroyWindow(parent);
        }});
    EXPECT_EQ(0u, moveExit);
    EXPECT_EQ(0u, clickExit);
    EXPECT_EQ(0u, keyExit);
    EXPECT_GE(saverRun.Count(WM_MOUSEMOVE), 1);
    EXPECT_EQ(2, saverRun.Count(WM_LBUTTONDOWN)) << "sent one, clicked one";
    EXPECT_EQ(1, saverRun.Count(WM_SYSCOMMAND, SC_SCREENSAVE)) << "not swallowed in a preview";
    EXPECT_FALSE(closedBeforeParent);
    EXPECT_TRUE(existedBeforeParent);
    EXPECT_EQ(0, exitCode);
    EXPECT_TRUE(saverRun.destroyed);
    EXPECT_FALSE(saverRun.endedByTest) << "the parent's end should have ended the run";
}

TEST_F(PreviewTest, HelpAndContextMenuGoToTheParent)
{
    LRESULT contextAnswer = 0, helpAnswer = 0;
    const LPARAM where = MAKELPARAM(25, 35);
    HELPINFO help = {};
    help.cbSize = sizeof help;
    RunScenario(parent, {[&](HWND window) {
                             contextAnswer = SendMessageA(
                                 window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), where);
                             helpAnswer = SendMessageA(window, WM_HELP, 0,
                                                       reinterpret_cast<LPARAM>(&help));
                         },
                         [](HWND) {}});
    EXPECT_EQ(1, contextAnswer);
    EXPECT_EQ(1, helpAnswer);
    EXPECT_EQ(0, saverRun.Count(WM_CONTEXTMENU));
    EXPECT_EQ(0, saverRun.Count(WM_HELP));
    // Wine refuses to post WM_HELP, whose second parameter is a pointer, so
    // only the context-menu request is seen arriving at the parent.
    bool contextSeen = false;
    for (const HookCall& call : previewParent.received) {
        EXPECT_EQ(reinterpret_cast<WPARAM>(parent), call.wParam);
        if (call.message == WM_CONTEXTMENU) {
            contextSeen = true;
            EXPECT_EQ(where, call.lParam);
        }
    }
    EXPECT_TRUE(contextSeen);
}

TEST_F(PreviewTest, CloseRequestDestroysAtOnce)
{
    int exitCode = RunScenario(parent, {[](HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }});
    EXPECT_EQ(0, exitCode);
    EXPECT_TRUE(saverRun.destroyed);
    EXPECT_FALSE(saverRun.endedByTest);
    EXPECT_EQ(0, saverState.closeAllowed) << "the close check is not asked in a preview";
    EXPECT_TRUE(IsWindow(parent));
}

TEST_F(PreviewTest, AutoPlayQueryClosesOnlyOnThe9xFamily)
{
    UINT autoPlay = RegisterWindowMessageA("QueryCancelAutoPlay");
    LRESULT answer = -1;
    RunScenario(parent, {[&](HWND window) { answer = SendMessageA(window, autoPlay, 0, 0); }});
    EXPECT_EQ(0, answer);
    EXPECT_EQ(saverState.isWin9x, saverRun.CloseRequested());
}

// ---- A second full-screen start ----

TEST_F(SaverWindowTest, SecondFullScreenStartBringsTheFirstForward)
{
    SetUsePassword(1);
    UseDoublesFolder("password");
    ChildProcess first = StartChild("\"" + ProgramFolder() + "saver_window_holder.exe\"");
    ASSERT_NE(nullptr, first.process);
    HWND running = nullptr;
    for (int i = 0; i < 200 && !running; ++i) {
        running = FindWindowA(SAVER_CLASS, "Screen Saver");
        Sleep(50);
    }
    ASSERT_NE(nullptr, running) << "the first saver did not start";
    HWND mine = CreateWindowExA(0, "STATIC", "other program", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(mine);
    for (int i = 0; i < 30 && GetForegroundWindow() != mine; ++i)
        PumpMessages(100);
    HWND foregroundBefore = GetForegroundWindow();

    // Run as a scenario with no steps, so that a wrongly created window is
    // ended by the test instead of running on.
    EXPECT_EQ(0, RunScenario(nullptr, {}));
    EXPECT_EQ(nullptr, saverRun.window) << "a second saver window was created";
    // The other process takes the foreground asynchronously; allow it time
    // on a loaded machine.
    for (int i = 0; i < 30 && GetForegroundWindow() != running; ++i)
        PumpMessages(100);
    EXPECT_EQ(mine, foregroundBefore);
    EXPECT_EQ(running, GetForegroundWindow());
    WNDCLASSA registered;
    EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), SAVER_CLASS, &registered))
        << "a class was registered";
    EXPECT_EQ(nullptr, saverState.saverWindow);
    EXPECT_TRUE(saverRun.hookCalls.empty());
    EXPECT_EQ("", DoubleRecord("DOUBLE_PASSWORD_LOADS")) << "the verifier was loaded";
    EXPECT_EQ(FALSE, ScreenSaverRunningFlag());

    DestroyWindow(mine);
    UseDoublesFolder("");
    SetUsePassword(0, true);
    PostMessageA(running, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, WaitChild(first, 10000)) << "the first saver did not end with 0";
}

}  // namespace
