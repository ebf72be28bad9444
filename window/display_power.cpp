#include "display_power.h"

#include <string.h>

#include "saver_state.h"

DisplayPowerState displayPower;

namespace {

// The message-only window's class; tests find the window by it.
const char kPowerClassName[] = "OpenGL ScreenSaver Display Power";

// RegisterPowerSettingNotification, which Windows Vista and later export.
typedef HANDLE(WINAPI* RegisterPowerSettingNotificationProc)(HANDLE recipient, LPCGUID setting,
                                                              DWORD flags);

// The display state's value while the display is off, for either setting.
const DWORD kDisplayOff = 0;

// True for the two settings that carry the display's power state: the
// console display (Windows 8 on: off, on, dimmed) and the monitor (Vista
// and 7: off, on).
bool IsDisplayStateSetting(const GUID& setting)
{
    return memcmp(&setting, &GUID_CONSOLE_DISPLAY_STATE, sizeof setting) == 0 ||
           memcmp(&setting, &GUID_MONITOR_POWER_ON, sizeof setting) == 0;
}

// Stops the frames when the display goes off; starts them again at once
// when it comes back (on or dimmed). The animation steps per drawn frame,
// so it carries on from where it stopped.
void SetDisplayOff(bool off)
{
    if (off == displayPower.displayOff)
        return;
    displayPower.displayOff = off;
    if (off) {
        KillTimer(displayPower.frameWindow, displayPower.frameTimer);
    } else {
        SetTimer(displayPower.frameWindow, displayPower.frameTimer, 0, nullptr);
        InvalidateRect(displayPower.frameWindow, nullptr, FALSE);
    }
}

// Reads a power-setting change; settings other than the display state, and
// data shorter than its DWORD, are ignored.
void TakePowerSetting(const POWERBROADCAST_SETTING* setting)
{
    if (!setting || !IsDisplayStateSetting(setting->PowerSetting) ||
        setting->DataLength < sizeof(DWORD))
        return;
    DWORD state;
    memcpy(&state, setting->Data, sizeof state);
    SetDisplayOff(state == kDisplayOff);
}

// Window procedure of the message-only window.
LRESULT CALLBACK DisplayPowerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_POWERBROADCAST && wParam == PBT_POWERSETTINGCHANGE) {
        TakePowerSetting(reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam));
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Creates the message-only window; null when it cannot be made. Such a
// window gets no broadcasts, so suspend and battery events still reach the
// saver window alone, and close it.
HWND CreateNotifyWindow()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DisplayPowerWindowProc;
    windowClass.hInstance = saverState.instance;
    windowClass.lpszClassName = kPowerClassName;
    RegisterClassA(&windowClass);  // fails harmlessly when already registered
    return CreateWindowExA(0, kPowerClassName, kPowerClassName, 0, 0, 0, 0, 0, HWND_MESSAGE,
                           nullptr, saverState.instance, nullptr);
}

}  // namespace

void StartDisplayPowerWatch(HWND frameWindow, UINT_PTR frameTimer)
{
    if (saverState.isPreview)
        return;
    HMODULE user32 = GetModuleHandleA("USER32.DLL");
    RegisterPowerSettingNotificationProc registerSetting =
        FindEntryPoint<RegisterPowerSettingNotificationProc>(user32,
                                                             "RegisterPowerSettingNotification");
    UnregisterPowerSettingNotificationProc unregisterSetting =
        FindEntryPoint<UnregisterPowerSettingNotificationProc>(
            user32, "UnregisterPowerSettingNotification");
    if (!registerSetting || !unregisterSetting)
        return;
    HWND window = CreateNotifyWindow();
    if (!window)
        return;
    // The system tells the current state as soon as the window is
    // registered, so the frames to stop are known first.
    displayPower.notifyWindow = window;
    displayPower.unregister = unregisterSetting;
    displayPower.frameWindow = frameWindow;
    displayPower.frameTimer = frameTimer;
    displayPower.registration =
        registerSetting(window, &GUID_CONSOLE_DISPLAY_STATE, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (!displayPower.registration)
        displayPower.registration =
            registerSetting(window, &GUID_MONITOR_POWER_ON, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (!displayPower.registration)
        StopDisplayPowerWatch();
}

bool SkipFrameWhileDisplayOff(HWND window)
{
    if (!displayPower.displayOff)
        return false;
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    return true;
}

void StopDisplayPowerWatch()
{
    if (displayPower.registration)
        displayPower.unregister(displayPower.registration);
    if (displayPower.notifyWindow)
        DestroyWindow(displayPower.notifyWindow);
    displayPower = DisplayPowerState();
}
