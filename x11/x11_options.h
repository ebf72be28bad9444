#pragma once
// The module's command line as XScreenSaver gives it, and the window it
// names in the environment.
#include <X11/X.h>

// Where the saver draws.
enum SaverTarget { TargetOwnWindow, TargetGivenWindow, TargetRootWindow };

// What the command line and the environment ask for.
struct SaverOptions {
    SaverTarget target;
    Window window;
    bool showFps;
    const char* displayName;
    long delayMicroseconds;
};

// The microseconds between frames without -delay: the Windows saver's
// zero-period timer ticks no more often than every 10 ms.
const long kDefaultDelayMicroseconds = 10000;

// Reads the options XScreenSaver's modules share (-window-id ID, -root,
// -window, -delay MICROSECONDS, -fps, -no-fps, -display NAME, -visual NAME,
// -mono, -install, -noinstall, each also spelled with two dashes; the last
// of -fps and -no-fps counts) and, unless -window-id is given,
// $XSCREENSAVER_WINDOW, ignored unless it is a window id. A window id is
// decimal or 0x and hexadecimal digits, 1 to 0x1fffffff; a delay is decimal,
// 0 to 10000000; neither takes a sign, a blank or a second 0x. 0, or -1
// after the usage on stderr.
int ParseSaverOptions(int argc, char** argv, SaverOptions* options);
