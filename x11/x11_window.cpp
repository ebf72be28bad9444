#include "x11_window.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "scene_frame.h"

X11Saver x11Saver;

namespace {

const char kWindowTitle[] = "3D OpenGL Screen Saver";
const int kOwnWindowWidth = 800;
const int kOwnWindowHeight = 600;
// GLX's error numbers for a drawable that is gone, from its protocol.
const int GLXBadDrawable = 2;
const int GLXBadCurrentWindow = 5;
const int GLXBadWindow = 12;

// Set by a stop signal or by an event that ends the run.
volatile sig_atomic_t stopRequested;
// The last X error seen while RecordXError handles them.
int lastXError;
// Xlib's handler, for the X errors the run does not expect.
XErrorHandler defaultXErrorHandler;

// Records an X error instead of ending the process, while a window id from
// outside is checked.
int RecordXError(Display*, XErrorEvent* error)
{
    lastXError = error->error_code;
    return 0;
}

// True for the errors an X or GLX request on a destroyed window gets.
bool IsGoneWindowError(int code)
{
    const int glx = code - x11Saver.glxErrorBase;
    return code == BadWindow || code == BadDrawable || glx == GLXBadDrawable ||
           glx == GLXBadCurrentWindow || glx == GLXBadWindow;
}

// While the saver's window exists, passes every X error to Xlib's handler
// (its report, then status 1), except one saying the window is gone (a draw
// can fail before the DestroyNotify is read). Once the window is gone the
// run is over, and the process ends here with 0, without going back into the
// GL driver: a driver that asked for the gone window's size goes on with
// whatever size it had then, and clears gigabytes for seconds.
int HandleRunXError(Display* display, XErrorEvent* error)
{
    if (error->resourceid == x11Saver.window && IsGoneWindowError(error->error_code))
        x11Saver.windowGone = true;
    if (!x11Saver.windowGone)
        return defaultXErrorHandler(display, error);
    _exit(0);
}

// Seconds on the monotonic clock.
double Now()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

// Makes a window of the saver's own: double-buffered with a depth buffer,
// titled, resizable, closed by the window manager's close button.
bool MakeOwnWindow(XVisualInfo** visual)
{
    Display* display = x11Saver.display;
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_DEPTH_SIZE, 16,
                        GLX_RED_SIZE, 1, GLX_GREEN_SIZE, 1, GLX_BLUE_SIZE, 1, None};
    *visual = glXChooseVisual(display, DefaultScreen(display), attributes);
    if (!*visual) {
        fprintf(stderr, "opengl-saver: no double-buffered GL visual with a depth buffer\n");
        return false;
    }
    Window root = RootWindow(display, (*visual)->screen);
    XSetWindowAttributes set;
    set.colormap = XCreateColormap(display, root, (*visual)->visual, AllocNone);
    set.background_pixel = BlackPixel(display, (*visual)->screen);
    set.border_pixel = 0;
    set.event_mask = KeyPressMask | StructureNotifyMask | ExposureMask;
    defaultXErrorHandler = XSetErrorHandler(HandleRunXError);
    x11Saver.window = XCreateWindow(display, root, 0, 0, kOwnWindowWidth, kOwnWindowHeight, 0,
                                    (*visual)->depth, InputOutput, (*visual)->visual,
                                    CWColormap | CWBackPixel | CWBorderPixel | CWEventMask, &set);
    x11Saver.ownWindow = true;
    XStoreName(display, x11Saver.window, kWindowTitle);
    x11Saver.wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
    x11Saver.deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, x11Saver.window, &x11Saver.deleteWindow, 1);
    XMapWindow(display, x11Saver.window);
    x11Saver.width = kOwnWindowWidth;
    x11Saver.height = kOwnWindowHeight;
    return true;
}

// Takes a window that another program made (or the root window) with the
// visual it has; the saver follows its size and its end.
bool TakeWindow(Window window, XVisualInfo** visual)
{
    Display* display = x11Saver.display;
    XWindowAttributes attributes;
    lastXError = Success;
    XErrorHandler previous = XSetErrorHandler(RecordXError);
    Status found = XGetWindowAttributes(display, window, &attributes);
    XSync(display, False);
    XSetErrorHandler(previous);
    if (!found || lastXError != Success) {
        fprintf(stderr, "opengl-saver: no window 0x%lx\n", window);
        return false;
    }
    XVisualInfo wanted;
    wanted.visualid = XVisualIDFromVisual(attributes.visual);
    wanted.screen = XScreenNumberOfScreen(attributes.screen);
    int count = 0;
    *visual = XGetVisualInfo(display, VisualIDMask | VisualScreenMask, &wanted, &count);
    int usesGl = 0;
    if (*visual)
        glXGetConfig(display, *visual, GLX_USE_GL, &usesGl);
    if (!usesGl) {
        fprintf(stderr, "opengl-saver: window 0x%lx has no GL visual\n", window);
        return false;
    }
    x11Saver.window = window;
    x11Saver.ownWindow = false;
    x11Saver.width = attributes.width;
    x11Saver.height = attributes.height;
    XSelectInput(display, window, StructureNotifyMask | ExposureMask);
    // From here the window may be destroyed at any moment.
    defaultXErrorHandler = XSetErrorHandler(HandleRunXError);
    return true;
}

// True when the space-separated list names the extension, as a whole word.
bool HasExtension(const char* extensions, const char* name)
{
    const size_t length = strlen(name);
    for (const char* at = extensions; (at = strstr(at, name)) != nullptr; at += length) {
        const bool starts = at == extensions || at[-1] == ' ';
        const bool ends = at[length] == ' ' || at[length] == '\0';
        if (starts && ends)
            return true;
    }
    return false;
}

// Asks for swaps at the display's refresh where the GLX driver offers it.
bool PaceSwapsAtRefresh()
{
    Display* display = x11Saver.display;
    const char* extensions = glXQueryExtensionsString(display, DefaultScreen(display));
    if (!extensions)
        return false;
    if (HasExtension(extensions, "GLX_EXT_swap_control")) {
        typedef void (*SwapIntervalExt)(Display*, GLXDrawable, int);
        auto set = reinterpret_cast<SwapIntervalExt>(
            glXGetProcAddress(reinterpret_cast<const GLubyte*>("glXSwapIntervalEXT")));
        if (set) {
            set(display, x11Saver.window, 1);
            return true;
        }
    }
    if (HasExtension(extensions, "GLX_MESA_swap_control")) {
        typedef int (*SwapIntervalMesa)(unsigned int);
        auto set = reinterpret_cast<SwapIntervalMesa>(
            glXGetProcAddress(reinterpret_cast<const GLubyte*>("glXSwapIntervalMESA")));
        if (set && set(1) == 0)
            return true;
    }
    if (HasExtension(extensions, "GLX_SGI_swap_control")) {
        typedef int (*SwapIntervalSgi)(int);
        auto set = reinterpret_cast<SwapIntervalSgi>(
            glXGetProcAddress(reinterpret_cast<const GLubyte*>("glXSwapIntervalSGI")));
        if (set && set(1) == 0)
            return true;
    }
    return false;
}

// Makes the display lists of the frame-rate text from the server's "fixed" font.
void MakeFpsFont()
{
    XFontStruct* font = XLoadQueryFont(x11Saver.display, "fixed");
    if (!font)
        return;
    x11Saver.fontLists = glGenLists(96);
    glXUseXFont(font->fid, ' ', 96, x11Saver.fontLists);
    XFreeFont(x11Saver.display, font);
}

// Counts a drawn frame; the text changes once a second.
void CountFrame()
{
    ++x11Saver.framesThisSecond;
    const double now = Now();
    const double elapsed = now - x11Saver.secondStart;
    if (elapsed < 1.0)
        return;
    snprintf(x11Saver.fpsText, sizeof x11Saver.fpsText, "FPS: %.1f",
             x11Saver.framesThisSecond / elapsed);
    x11Saver.framesThisSecond = 0;
    x11Saver.secondStart = now;
}

// Draws the frame-rate text in white at the bottom left, leaving the
// scene's GL state as it was.
void DrawFrameRate()
{
    CountFrame();
    if (!x11Saver.fontLists || !x11Saver.fpsText[0])
        return;
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_TRANSFORM_BIT | GL_LIST_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, x11Saver.width, 0, x11Saver.height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glColor3f(1.0f, 1.0f, 1.0f);
    glRasterPos2i(10, 10);
    glListBase(x11Saver.fontLists - ' ');
    glCallLists(static_cast<GLsizei>(strlen(x11Saver.fpsText)), GL_UNSIGNED_BYTE,
                x11Saver.fpsText);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();
}

// Follows a new window size.
void FollowSize(int width, int height)
{
    if (width == x11Saver.width && height == x11Saver.height)
        return;
    x11Saver.width = width;
    x11Saver.height = height;
    ResizeScene(width, height);
}

// True for the window manager's request to close the saver's own window.
bool IsCloseRequest(const XClientMessageEvent& message)
{
    return x11Saver.ownWindow && message.window == x11Saver.window &&
           message.message_type == x11Saver.wmProtocols && message.format == 32 &&
           static_cast<Atom>(message.data.l[0]) == x11Saver.deleteWindow;
}

// Handles one event: false when it ends the run.
bool HandleEvent(const XEvent& event)
{
    switch (event.type) {
    case ConfigureNotify:
        FollowSize(event.xconfigure.width, event.xconfigure.height);
        return true;
    case KeyPress:
        return XLookupKeysym(const_cast<XKeyEvent*>(&event.xkey), 0) != XK_Escape;
    case ClientMessage:
        return !IsCloseRequest(event.xclient);
    case DestroyNotify:
        if (event.xdestroywindow.window != x11Saver.window)
            return true;
        x11Saver.windowGone = true;
        return false;
    default:
        return true;
    }
}

// Ends the run on SIGTERM or SIGINT.
void OnStopSignal(int)
{
    RequestSaverStop();
}

}  // namespace

// Opens the display and the window and makes the GLX context current.
int OpenSaverWindow(const SaverOptions& options)
{
    x11Saver.display = XOpenDisplay(options.displayName);
    if (!x11Saver.display) {
        fprintf(stderr, "opengl-saver: cannot open display %s\n",
                XDisplayName(options.displayName));
        return -1;
    }
    Display* display = x11Saver.display;
    int glxEventBase = 0;
    if (!glXQueryExtension(display, &x11Saver.glxErrorBase, &glxEventBase)) {
        fprintf(stderr, "opengl-saver: no GLX on display %s\n", DisplayString(display));
        XCloseDisplay(display);
        x11Saver.display = nullptr;
        return -1;
    }
    XVisualInfo* visual = nullptr;
    bool made = false;
    if (options.target == TargetOwnWindow)
        made = MakeOwnWindow(&visual);
    else if (options.target == TargetRootWindow)
        made = TakeWindow(DefaultRootWindow(display), &visual);
    else
        made = TakeWindow(options.window, &visual);
    if (made)
        x11Saver.context = glXCreateContext(display, visual, nullptr, True);
    if (made && !x11Saver.context)
        fprintf(stderr, "opengl-saver: cannot make a GLX context\n");
    if (x11Saver.context && !glXMakeCurrent(display, x11Saver.window, x11Saver.context)) {
        fprintf(stderr, "opengl-saver: cannot make the GLX context current\n");
        glXDestroyContext(display, x11Saver.context);
        x11Saver.context = nullptr;
    }
    if (visual)
        XFree(visual);
    if (!x11Saver.context) {
        if (x11Saver.ownWindow)
            XDestroyWindow(display, x11Saver.window);
        XCloseDisplay(display);
        x11Saver.display = nullptr;
        return -1;
    }
    x11Saver.showFps = options.showFps;
    if (options.showFps)
        MakeFpsFont();
    x11Saver.swapPaced = PaceSwapsAtRefresh();
    x11Saver.frameDelay = options.delayMicroseconds / 1e6;
    x11Saver.secondStart = x11Saver.nextTick = Now();
    return 0;
}

// Marks the run as ended.
void RequestSaverStop()
{
    stopRequested = 1;
}

// Installs the stop handler for SIGTERM and SIGINT.
void CatchStopSignals()
{
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// Handles every queued event.
bool HandleSaverEvents()
{
    while (!stopRequested && XPending(x11Saver.display)) {
        XEvent event;
        XNextEvent(x11Saver.display, &event);
        if (!HandleEvent(event))
            RequestSaverStop();
    }
    return !stopRequested;
}

// Adds the frame rate when asked for and swaps buffers.
void FinishSaverFrame()
{
    if (x11Saver.showFps)
        DrawFrameRate();
    glXSwapBuffers(x11Saver.display, x11Saver.window);
}

// Sleeps until the next timer tick, waking for X events.
void WaitForFrameTimer()
{
    // A late tick fires at once and the timer starts again from now, as a
    // Windows timer does.
    x11Saver.nextTick += x11Saver.frameDelay;
    double now = Now();
    if (x11Saver.nextTick < now)
        x11Saver.nextTick = now;
    pollfd connection = {ConnectionNumber(x11Saver.display), POLLIN, 0};
    while (now < x11Saver.nextTick && HandleSaverEvents()) {
        poll(&connection, 1, static_cast<int>((x11Saver.nextTick - now) * 1000.0) + 1);
        now = Now();
    }
}

// Releases what OpenSaverWindow made, in reverse order.
void CloseSaverWindow()
{
    Display* display = x11Saver.display;
    glXMakeCurrent(display, None, nullptr);
    glXDestroyContext(display, x11Saver.context);
    if (x11Saver.ownWindow)
        XDestroyWindow(display, x11Saver.window);
    XCloseDisplay(display);
    x11Saver.display = nullptr;
}
