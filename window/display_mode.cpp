#include "display_mode.h"

#include <stdlib.h>

#include "render_window.h"
#include "saver_window.h"

namespace {

const DWORD kSwitchBitsPerPixel = 16;

// The pointer's confinement before the switch, which a DirectDraw switch
// replaces with the primary monitor: put back once the switch is made, and
// again when it is undone.
struct CursorClip {
    RECT area;
    bool saved;   // area holds the confinement to put back
    bool free;    // the pointer could go anywhere on the screen
};
CursorClip clipBeforeSwitch;

// Shows one of the switch's failure boxes.
void ReportSwitchFailure(const char* text)
{
    MessageBoxA(nullptr, text, "Error", MB_ICONHAND);
}

// Runs the undo when the process ends through the C runtime's exit (a
// missing picture ends it that way, before the child window is destroyed).
int UndoDisplayModeSwitchAtExit()
{
    UndoDisplayModeSwitch();
    return 0;
}

// Makes sure a switched screen is restored however the runtime exits. The
// C runtime library's own _onexit: the program has no start-up code that
// would supply atexit.
void RestoreModeAtExit()
{
    static bool registered = false;
    if (!registered)
        registered = _onexit(UndoDisplayModeSwitchAtExit) != nullptr;
}

// Notes the pointer's confinement, as some other program may have set it.
void SaveCursorClip()
{
    CursorClip& clip = clipBeforeSwitch;
    clip.saved = GetClipCursor(&clip.area) != FALSE;
    RECT screen = WholeScreenRect();
    clip.free = clip.area.left <= screen.left && clip.area.top <= screen.top &&
                clip.area.right >= screen.right && clip.area.bottom >= screen.bottom;
}

// Puts the confinement noted before the switch back in force.
void RestoreCursorClip()
{
    const CursorClip& clip = clipBeforeSwitch;
    if (clip.saved)
        ClipCursor(clip.free ? nullptr : &clip.area);
}

// Tries the switch through DirectDraw; true when the mode is set.
bool SwitchThroughDirectDraw(HWND cooperativeWindow)
{
    HRESULT result = DirectDrawCreate(nullptr, &renderWindow.directDraw, nullptr);
    if (FAILED(result)) {
        renderWindow.directDraw = nullptr;
        return false;
    }
    result = renderWindow.directDraw->SetCooperativeLevel(cooperativeWindow,
                                                          DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE);
    if (SUCCEEDED(result))
        result = renderWindow.directDraw->SetDisplayMode(renderWindow.childWidth,
                                                         renderWindow.childHeight,
                                                         kSwitchBitsPerPixel);
    if (SUCCEEDED(result)) {
        // The exclusive mode confines the pointer to the primary monitor; the
        // saver window covers every monitor, and the pointer goes where it
        // could go before.
        RestoreCursorClip();
        return true;
    }
    renderWindow.directDraw->Release();
    renderWindow.directDraw = nullptr;
    return false;
}

// Finds the first 16-bit display mode of the child's size; false if none.
bool FindSwitchMode(DEVMODEA* mode)
{
    for (DWORD index = 0;; ++index) {
        ZeroMemory(mode, sizeof *mode);
        mode->dmSize = sizeof *mode;
        if (!EnumDisplaySettingsA(nullptr, index, mode))
            return false;
        if (mode->dmBitsPerPel == kSwitchBitsPerPixel &&
            mode->dmPelsWidth == static_cast<DWORD>(renderWindow.childWidth) &&
            mode->dmPelsHeight == static_cast<DWORD>(renderWindow.childHeight))
            return true;
    }
}

// Switches through the display settings, reporting what stops it.
void SwitchThroughDisplaySettings()
{
    DEVMODEA mode;
    if (!FindSwitchMode(&mode)) {
        ChangeDisplaySettingsA(nullptr, 0);
        ReportSwitchFailure("Didn't find good fullscreen mode");
        return;
    }
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    switch (ChangeDisplaySettingsA(&mode, CDS_TEST)) {
    case DISP_CHANGE_SUCCESSFUL:
        ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN);
        break;
    case DISP_CHANGE_RESTART:
        ReportSwitchFailure("Must restart to get that Fullscreen setting");
        break;
    case DISP_CHANGE_FAILED:
        ReportSwitchFailure("Failed to change to desired settings");
        break;
    case DISP_CHANGE_BADMODE:
        ReportSwitchFailure("That fullscreen mode is not supported");
        break;
    }
}

}  // namespace

void SwitchDisplayMode(HWND cooperativeWindow)
{
    RestoreModeAtExit();
    SaveCursorClip();
    if (!SwitchThroughDirectDraw(cooperativeWindow))
        SwitchThroughDisplaySettings();
}

void UndoDisplayModeSwitch()
{
    if (renderWindow.directDraw) {
        renderWindow.directDraw->Release();
        renderWindow.directDraw = nullptr;
    }
    ChangeDisplaySettingsA(nullptr, 0);
    RestoreCursorClip();
}
