# Plain X windows for a program to draw into (black, the default visual,
# mapped), and client messages to its window: one command a line on stdin,
# one answer a line on stdout. The commands: window X Y WIDTH HEIGHT [input-only]
# (its id; an input-only window cannot be drawn into), destroy ID, resize ID
# WIDTH HEIGHT, send ID TYPE ATOM (a client message of type TYPE carrying ATOM).
import ctypes, sys
from ctypes import c_int, c_long, c_ulong, c_void_p
x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = c_void_p
for name in "XDefaultRootWindow", "XCreateSimpleWindow", "XCreateWindow", "XInternAtom":
    getattr(x11, name).restype = c_ulong
display = c_void_p(x11.XOpenDisplay(None))
root = c_ulong(x11.XDefaultRootWindow(display))
class Message(ctypes.Structure):  # an XClientMessageEvent as long as an XEvent
    _fields_ = [("type", c_int), ("serial", c_ulong), ("send_event", c_int), ("display", c_void_p),
                ("window", c_ulong), ("message_type", c_ulong), ("format", c_int),
                ("data", c_long * 5), ("pad", c_long * 12)]
for line in sys.stdin:
    command, *args = line.split()
    answer = "ok"
    if command == "window":
        x, y, width, height = (c_int(int(a)) for a in args[:4])
        if args[4:] == ["input-only"]:  # class InputOnly, depth and visual the parent's
            window = x11.XCreateWindow(display, root, x, y, width, height, 0, 0, 2, None, c_ulong(0), None)
        else:
            window = x11.XCreateSimpleWindow(display, root, x, y, width, height, 0, c_ulong(0), c_ulong(0))
        x11.XMapWindow(display, c_ulong(window))
        answer = hex(window)
    else:
        window = c_ulong(int(args[0], 0))
    if command == "destroy":
        x11.XDestroyWindow(display, window)
    elif command == "resize":
        x11.XResizeWindow(display, window, *(c_int(int(a)) for a in args[1:]))
    elif command == "send":
        atoms = [x11.XInternAtom(display, name.encode(), 0) for name in args[1:]]
        message = Message(type=33, window=window, message_type=atoms[0], format=32)
        message.data[0] = atoms[1]
        x11.XSendEvent(display, window, 0, c_long(0), ctypes.byref(message))
    x11.XSync(display, 0)
    print(answer, flush=True)
