# The windows on the screen made by the connections of the given processes
# (X-Resource names each connection's process): own_windows.py PID... exits
# 1 when there is any, or when no connection of theirs is found.
import ctypes, sys
x11 = ctypes.CDLL("libX11.so.6")
xres = ctypes.CDLL("libXRes.so.1")
class ClientIdQuery(ctypes.Structure):
    _fields_ = [("client", ctypes.c_ulong), ("mask", ctypes.c_uint)]
class Value(ctypes.Structure):
    _fields_ = [("query", ClientIdQuery), ("length", ctypes.c_long), ("value", ctypes.c_void_p)]
class Client(ctypes.Structure):
    _fields_ = [("resource_base", ctypes.c_ulong), ("resource_mask", ctypes.c_ulong)]
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_void_p] * 4
xres.XResGetClientPid.argtypes = [ctypes.POINTER(Value)]
display = x11.XOpenDisplay(None)
PID_MASK = 1 << 1
query, count, values = ClientIdQuery(0, PID_MASK), ctypes.c_long(), ctypes.POINTER(Value)()
if xres.XResQueryClientIds(ctypes.c_void_p(display), 1, ctypes.byref(query),
                           ctypes.byref(count), ctypes.byref(values)) != 0:
    sys.exit("X-Resource does not answer")
clients, client_count = ctypes.POINTER(Client)(), ctypes.c_int()
xres.XResQueryClients(ctypes.c_void_p(display), ctypes.byref(client_count), ctypes.byref(clients))
mask = clients[0].resource_mask
pids = {int(p) for p in sys.argv[1:]}
module_bases = {values[i].query.client & ~mask for i in range(count.value)
                if xres.XResGetClientPid(ctypes.byref(values[i])) in pids}
if not module_bases:
    sys.exit("no connection of the module")
def windows(parent):
    root, up, children, n = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
    x11.XQueryTree(display, parent, ctypes.byref(root), ctypes.byref(up), ctypes.byref(children), ctypes.byref(n))
    for i in range(n.value):
        yield children[i]
        yield from windows(children[i])
own = [hex(w) for w in windows(x11.XDefaultRootWindow(display)) if w & ~mask in module_bases]
print(f"module connections {len(module_bases)}, windows of its own {own or 'none'}")
sys.exit(1 if own else 0)
