#pragma once
// The X11 side of the saver: the window drawn into (as x11_options.h's
// options ask), its GLX context, events, frame pacing and the frame rate
// shown with -fps.
#include <X11/Xlib.h>
#include <GL/glx.h>

#include "x11_options.h"

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

// Opens the display, finds or makes the window and makes a current GLX
// context on it (double-buffered, depth 16 or more for a window of its
// own): 0, or -1 after one line on stderr with nothing left open (also when
// the display has no GLX). From then on an X error saying the window is
// gone ends the run like its DestroyNotify, and once the window is gone
// every X error is ignored; before that any other X error ends the process
// as Xlib's handler does.
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
