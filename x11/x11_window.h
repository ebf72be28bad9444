#pragma once
// The X11 side of the saver: the command line as XScreenSaver gives it, the
// window drawn into, its GLX context, events, frame pacing and the frame
// rate shown with -fps.
#include <X11/Xlib.h>
#include <GL/glx.h>

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

// The saver's process-wide X11 record.
struct X11Saver {
    Display* display;
    Window window;
    bool ownWindow;
    bool windowGone;
    Atom wmProtocols;
    Atom deleteWindow;
    int glxErrorBase;
    GLXContext context;
    int width, height;
    bool swapPaced;
    double frameDelay;
    double nextTick;
    bool showFps;
    GLuint fontLists;
    int framesThisSecond;
    double secondStart;
    char fpsText[32];
};
extern X11Saver x11Saver;

// Reads the options XScreenSaver's modules share (-window-id ID, -root,
// -window, -delay MICROSECONDS, -fps, -no-fps, -display NAME, -visual NAME,
// -mono, -install, -noinstall, each also spelled with two dashes) and
// $XSCREENSAVER_WINDOW, ignored unless it is a window id: 0, or -1 after a
// usage line on stderr.
int ParseSaverOptions(int argc, char** argv, SaverOptions* options);

// Opens the display, finds or makes the window and makes a current GLX
// context on it (double-buffered, depth 16 or more for a window of its
// own): 0, or -1 after one line on stderr with nothing left open. From then
// on an X error on the window after it is gone ends the run like its
// DestroyNotify; any other X error ends the process as Xlib's handler does.
int OpenSaverWindow(const SaverOptions& options);

// Ends the run at the next frame; safe in a signal handler.
void RequestSaverStop();

// Makes SIGTERM and SIGINT end the run cleanly.
void CatchStopSignals();

// Handles the queued X events: false once the run should end (Escape, the
// window closed or destroyed, a stop signal), and at every call after that.
bool HandleSaverEvents();

// Shows the frame rate over the picture and swaps buffers.
void FinishSaverFrame();

// Waits for the next tick of the frame timer (-delay, 10 ms unless given),
// handling events meanwhile.
void WaitForFrameTimer();

// Releases the context, the window when it is the saver's own, and the display.
void CloseSaverWindow();
