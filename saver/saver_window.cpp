#include "saver_window.h"

#include "passwords.h"
#include "saver_state.h"

const char SAVER_CLASS_NAME[] = "WindowsScreenSaverClass";
const char FULL_SCREEN_TITLE[] = "Screen Saver";
const char PREVIEW_TITLE[] = "Preview";
const WORD SAVER_ICON_ID = 100;
const UINT SAVER_CLASS_STYLE = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
const DWORD FULL_SCREEN_STYLE = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
const DWORD PREVIEW_STYLE = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;

// Fills the saver window's class record.
static void FillSaverClass(WNDCLASSA& saverClass)
{
    saverClass.style = SAVER_CLASS_STYLE;
    saverClass.lpfnWndProc = SaverWindowProc;
    saverClass.cbClsExtra = 0;
    saverClass.cbWndExtra = 0;
    saverClass.hInstance = saverState.instance;
    saverClass.hIcon = LoadIconA(saverState.instance, MAKEINTRESOURCEA(SAVER_ICON_ID));
    saverClass.hCursor = nullptr;
    saverClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    saverClass.lpszMenuName = nullptr;
    saverClass.lpszClassName = SAVER_CLASS_NAME;
}

// Brings an already running full-screen saver forward; true when there is one.
static bool ForwardToRunningSaver()
{
    HWND running = FindWindowA(SAVER_CLASS_NAME, FULL_SCREEN_TITLE);
    if (!running || !IsWindow(running))
        return false;
    SetForegroundWindow(running);
    return true;
}

// The whole screen's rectangle, from the clip box of the screen's device context.
static RECT ScreenRect()
{
    RECT screen = {0, 0, 0, 0};
    HDC screenDc = GetDC(nullptr);
    GetClipBox(screenDc, &screen);
    ReleaseDC(nullptr, screenDc);
    return screen;
}

// The whole screen's rectangle once the display has changed: the virtual
// screen where the system reports it (Windows 98 and 2000 on; Wine updates the
// screen's clip box only some time after the change), else the clip box.
RECT WholeScreenRect()
{
    RECT screen = ScreenRect();
    int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width > 0 && height > 0) {
        screen.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
        screen.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
        screen.right = screen.left + width;
        screen.bottom = screen.top + height;
    }
    return screen;
}

// Takes the pointer's present place, on the present screen, as the point
// mouse travel counts from.
static void ReadReferenceCursor()
{
    GetCursorPos(&saverState.referenceCursor);
    saverState.referenceScreen = WholeScreenRect();
}

// Puts the full-screen window over the whole screen again, topmost, after a
// display change: the window stays where it was, or the system shrinks it to
// the primary monitor, and other monitors would show the desktop. The old
// picture is not copied to the new place: all of it is painted again.
static void CoverScreenAgain(HWND window)
{
    RECT screen = WholeScreenRect();
    SetWindowPos(window, HWND_TOPMOST, screen.left, screen.top, screen.right - screen.left,
                 screen.bottom - screen.top, SWP_NOACTIVATE | SWP_NOCOPYBITS);
}

// Dispatches the thread's messages until the quit message; returns its exit code.
static int RunMessageLoop()
{
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

// Creates the saver window for its mode and runs the message loop until it goes.
int RunSaverWindow(HWND parent)
{
    WNDCLASSA saverClass;
    FillSaverClass(saverClass);
    RECT area = {0, 0, 0, 0};
    DWORD style, exStyle;
    const char* title;
    if (parent) {
        GetClientRect(parent, &area);
        area.left = area.top = 0;
        style = PREVIEW_STYLE;
        exStyle = 0;
        title = PREVIEW_TITLE;
        saverState.isPreview = true;
    } else {
        area = ScreenRect();
        style = FULL_SCREEN_STYLE;
        exStyle = WS_EX_TOPMOST;
        title = FULL_SCREEN_TITLE;
        if (ForwardToRunningSaver())
            return 0;
        LoadPasswordVerifier();
    }
    saverState.autoPlayMessage =
        saverState.isWin9x ? RegisterWindowMessageA("QueryCancelAutoPlay") : 0;

    int exitCode = -1;
    HWND window = nullptr;
    if (RegisterClassA(&saverClass)) {
        window = CreateWindowExA(exStyle, SAVER_CLASS_NAME, title, style, area.left, area.top,
                                 area.right - area.left, area.bottom - area.top, parent,
                                 nullptr, saverState.instance, nullptr);
        saverState.saverWindow = window;
    }
    if (window) {
        if (!parent)
            SetForegroundWindow(window);
        exitCode = RunMessageLoop();
    }
    UnloadPasswordVerifier();
    return exitCode;
}

// Detaches the input method from the saver window when the process already uses one.
static void DetachInputMethod(HWND window)
{
    HMODULE imm = GetModuleHandleA("IMM32.DLL");
    if (!imm)
        return;
    saverState.immModule = imm;
    saverState.immAssociateContext =
        FindEntryPoint<ImmAssociateContextProc>(imm, "ImmAssociateContext");
    if (saverState.immAssociateContext)
        saverState.savedInputContext = saverState.immAssociateContext(window, nullptr);
}

// Gives the saver window back the input context detached at creation.
static void RestoreInputMethod(HWND window)
{
    if (saverState.immModule && saverState.immAssociateContext && saverState.savedInputContext)
        saverState.immAssociateContext(window, saverState.savedInputContext);
}

// Hides the cursor over the full-screen saver.
static void HideCursorWhenFullScreen()
{
    if (!saverState.isPreview)
        SetCursor(nullptr);
}

// True for the input messages that close the saver.
static bool IsInputMessage(UINT message)
{
    return message == WM_KEYDOWN || message == WM_SYSKEYDOWN || message == WM_MOUSEMOVE
           || message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN
           || message == WM_MBUTTONDOWN;
}

// True for the system commands a full-screen saver swallows.
static bool IsSwallowedSysCommand(WPARAM command)
{
    return command == SC_NEXTWINDOW || command == SC_PREVWINDOW || command == SC_SCREENSAVE;
}

// Passes a preview's help or context-menu request on to the preview's parent.
static void RepostToPreviewParent(HWND window, UINT message, LPARAM lParam)
{
    HWND parent = GetParent(window);
    if (parent && IsWindow(parent))
        PostMessageA(parent, message, reinterpret_cast<WPARAM>(parent), lParam);
}

// The saver window's procedure: the framework's own part, then the program's hook.
LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        DetachInputMethod(window);
        ReadReferenceCursor();
        HideCursorWhenFullScreen();
        break;
    case WM_DESTROY:
        RestoreInputMethod(window);
        PostQuitMessage(0);
        break;
    case WM_SETTEXT:
        return 0;
    case WM_DISPLAYCHANGE:
        if (!saverState.isPreview) {
            CoverScreenAgain(window);
            ReadReferenceCursor();
        }
        break;
    case WM_PAINT:
        if (saverState.closeAllowed)
            return DefWindowProcA(window, message, wParam, lParam);
        HideCursorWhenFullScreen();
        break;
    case WM_TIMER:
        if (saverState.closeAllowed)
            return 0;
        Sleep(0);
        break;
    case WM_SYSCOMMAND:
        if (!saverState.isPreview && IsSwallowedSysCommand(wParam))
            return 0;
        break;
    case WM_HELP:
    case WM_CONTEXTMENU:
        if (saverState.isPreview) {
            RepostToPreviewParent(window, message, lParam);
            return 1;
        }
        break;
    default:
        if (IsInputMessage(message) && saverState.closeAllowed)
            return DefWindowProcA(window, message, wParam, lParam);
        break;
    }
    return SaverHookProc(window, message, wParam, lParam);
}

// Asks that the window close, by queueing WM_CLOSE to it.
static void RequestClose(HWND window)
{
    PostMessageA(window, WM_CLOSE, 0, 0);
}

// Closes on a mouse travel beyond the threshold from the reference point. A
// display change moves the pointer with the monitors, and its move can come
// before the change's own message: on a screen that is no longer the one
// the reference was read on, the move starts a new reference instead.
static void CheckMouseTravel(HWND window)
{
    const RECT screen = WholeScreenRect();
    const RECT& before = saverState.referenceScreen;
    if (screen.left != before.left || screen.top != before.top || screen.right != before.right ||
        screen.bottom != before.bottom) {
        ReadReferenceCursor();
        return;
    }
    POINT cursor;
    GetCursorPos(&cursor);
    LONG dx = cursor.x - saverState.referenceCursor.x;
    LONG dy = cursor.y - saverState.referenceCursor.y;
    DWORD travel = static_cast<DWORD>(dx < 0 ? -dx : dx) + static_cast<DWORD>(dy < 0 ? -dy : dy);
    if (travel > saverState.moveThreshold) {
        RequestClose(window);
        saverState.referenceCursor = cursor;
    }
}

// Close rules of a running full-screen saver. Returns true when the message is
// answered here (with *result), false when it goes on to the common handling.
static bool ApplyCloseRules(HWND window, UINT message, WPARAM wParam, LRESULT* result)
{
    if (message == WM_CLOSE) {
        if (!saverState.isWin9x || MayCloseSaver(window))
            return false;
        ReadReferenceCursor();
        *result = 0;
        return true;
    }
    if (message == WM_APP) {
        if (!saverState.isWin9x)
            return false;
        *result = saverState.verifyPassword ? saverState.verifyPassword(window) : 1;
        return true;
    }
    if (saverState.checkingPassword)
        return false;
    switch (message) {
    case WM_SHOWWINDOW:
        if (wParam)
            SetCursor(nullptr);
        break;
    case WM_ACTIVATEAPP:
        if (!wParam)
            RequestClose(window);
        break;
    case WM_SETCURSOR:
        SetCursor(nullptr);
        *result = 1;
        return true;
    case WM_POWER:
        if (wParam == PWR_CRITICALRESUME)
            RequestClose(window);
        break;
    case WM_POWERBROADCAST:
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        RequestClose(window);
        break;
    case WM_MOUSEMOVE:
        CheckMouseTravel(window);
        break;
    }
    return false;
}

// Default handling for the hook: the close rules, the AutoPlay query, then the platform's.
LRESULT CALLBACK SaverDefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!saverState.isPreview && !saverState.closeAllowed) {
        LRESULT result;
        if (ApplyCloseRules(window, message, wParam, &result))
            return result;
    }
    if (saverState.autoPlayMessage && message == saverState.autoPlayMessage) {
        RequestClose(window);
        return saverState.verifyPassword ? 1 : 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
