#pragma once
// Resting while Windows has the display turned off: on Windows Vista and
// later a message-only window of the saver's own is told the display's power
// state, and while the display is off the GL child draws nothing. Earlier
// systems have no such notification, and the saver draws as always there.
#include <windows.h>

// UnregisterPowerSettingNotification, looked up at run time.
typedef BOOL(WINAPI* UnregisterPowerSettingNotificationProc)(HANDLE registration);

// The display-power watch's process-wide record; all zero while no watch runs.
struct DisplayPowerState {
    HWND notifyWindow;     // the message-only window the system tells
    HANDLE registration;   // its power-setting registration
    UnregisterPowerSettingNotificationProc unregister;
    HWND frameWindow;      // the GL child window, and its frame timer
    UINT_PTR frameTimer;
    bool displayOff;       // true while the system has the display off
};
extern DisplayPowerState displayPower;

// Full screen where the system offers the notification: creates and
// registers the message-only window that stops and restarts the frame timer
// of frameWindow as the display goes off and on. Otherwise does nothing.
void StartDisplayPowerWatch(HWND frameWindow, UINT_PTR frameTimer);
// While the display is off, validates the window without drawing and
// returns true; otherwise returns false and the paint draws a frame.
bool SkipFrameWhileDisplayOff(HWND window);
// Unregisters and destroys the window, and forgets the watch.
void StopDisplayPowerWatch();
