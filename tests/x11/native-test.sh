#!/usr/bin/env bash
# Runs opengl-saver on a private Xvfb display and stops exactly what it started.
#
# usage: native-test.sh module BUILD_DIR   the .deb made from BUILD_DIR, clean
#          for lintian and unpacked into a scratch root; the real xscreensaver
#          daemon runs it as its only module: the scene across the whole screen
#          in the daemon's window, no window of the module's own, moving; the
#          module gone soon after deactivation
#        native-test.sh window BUILD_DIR   the built program in its own window:
#          scene drawn and moving; a second one drawing into that window at
#          -delay pace ends with 0 and nothing on stderr when the window is
#          destroyed; exit status 0 on SIGTERM; a missing and a damaged picture
#          (with every shared option given): one line on stderr naming it, exit
#          status 1; bad option values: the usage, exit status 1
#        native-test.sh bench BUILD_DIR PROGRAM   the frame-cost benchmark PROGRAM
# XScreenSaver refuses to start modules as root: as root the module case runs
# the daemon as the user opengl-saver-test, made for the run and removed after.
# environment: SAVER_TIMEOUT, seconds any one wait may take (default 60);
#   SAVER_MODULE_PREFIX, a command the daemon runs the module through (to see
#   this test fail on a module that misbehaves)
set -uo pipefail
source "$(dirname "$0")/../../tools/host.sh"
mode=$1 build=$(cd "$2" && pwd)
timeout=${SAVER_TIMEOUT:-60}
python=/usr/bin/python3
run=$(mktemp -d "${TMPDIR:-/tmp}/opengl-saver-test.XXXXXX")
chmod 755 "$run"
# A module that outlives SIGTERM by this much has ignored it.
stop_limit=10
daemon_pid="" saver_pid="" user_made=""

# Kills what the test started, by process id, then removes the test user.
cleanup() {
  local pid
  [ -n "$daemon_pid" ] && kill "$daemon_pid" 2>/dev/null
  for pid in $saver_pid $(module_pids); do
    kill -KILL "$pid" 2>/dev/null
  done
  stop_x_server
  if [ -n "$user_made" ]; then
    wait_for eval '! pgrep -u opengl-saver-test >/dev/null' &&
      userdel opengl-saver-test || echo "FAIL: the user opengl-saver-test could not be removed"
  fi
  rm -rf "$run"
}
module=""
# The module processes the daemon started.
module_pids() { [ -n "$module" ] && pgrep -f "^$module"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

# Waits until the command succeeds, at most the given seconds.
wait_within() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.1
  done
}

# Waits until the command succeeds, at most $timeout seconds.
wait_for() { wait_within "$timeout" "$@"; }

# True once the process has ended.
ended() { ! kill -0 "$1" 2>/dev/null; }

# Waits for the child process to end within $stop_limit seconds and sets
# status to its exit status; fails naming what it waited for otherwise.
wait_child() {
  local pid=$1 what=$2
  wait_within "$stop_limit" ended "$pid" || { kill -KILL "$pid"; fail "$what still runs after ${stop_limit}s"; }
  wait "$pid"
  status=$?
}

# Runs the program with a time limit, its stderr into $run/stderr: sets status.
run_briefly() {
  "$@" 2>"$run/stderr" &
  wait_child $! "$*"
}

start_x_server "$run" xvfb -screen 0 1024x768x24 -ac || fail "Xvfb did not start"

# Screenshot of the whole screen into $run/$1.png.
shoot() { timeout "$timeout" import -window root "$run/$1.png" 2>/dev/null; }

# True when the screenshot shows the lit scene: many pixels off black and
# the model's green-yellow skin; with "whole", lit pixels in each of the
# 4 x 4 parts of the screen (the sky fills it).
scene_shown() {
  shoot first && "$python" - "$run/first.png" "${1:-}" <<'PY'
import sys
from PIL import Image
image = Image.open(sys.argv[1]).convert("RGB")
width, height = image.size
pixels = list(image.getdata())
lit = sum(1 for r, g, b in pixels if r + g + b > 60)
skin = sum(1 for r, g, b in pixels if g > 90 and g > b + 50 and r > b)
parts = [0] * 16
for i, (r, g, b) in enumerate(pixels):
    if r + g + b > 60:
        parts[(i // width) * 4 // height * 4 + (i % width) * 4 // width] += 1
print(f"lit pixels {lit}, model-coloured pixels {skin}, least lit part {min(parts)}")
whole = sys.argv[2] != "whole" or min(parts) > 100
sys.exit(0 if lit > 20000 and skin > 2000 and whole else 1)
PY
}

# True when a fresh screenshot differs from the first: the scene moves.
scene_moved() { shoot second && ! cmp -s "$run/first.png" "$run/second.png"; }

if [ "$mode" = bench ]; then
  "$3" "$build/share/opengl-saver"
  exit
fi

# The frame rates Mesa's HUD wrote into the folder, one a line, once there
# are three (each over a second).
frame_rates() { [ -s "$1/fps" ] && [ "$(wc -l <"$1/fps")" -ge 3 ] && cat "$1/fps"; }

if [ "$mode" = window ]; then
  program=$build/libexec/xscreensaver/opengl-saver
  "$program" &
  saver_pid=$!
  wait_for scene_shown || fail "the scene did not appear in the program's window"
  window=$(xdotool search --name '^3D OpenGL Screen Saver$') || fail "no window titled 3D OpenGL Screen Saver"
  wait_for scene_moved || fail "the scene did not move"

  # A second run drawing into that window, four frames a second.
  mkdir "$run/hud"
  GALLIUM_HUD=fps GALLIUM_HUD_PERIOD=1 GALLIUM_HUD_DUMP_DIR="$run/hud" \
    "$program" -window-id "$window" -delay 250000 2>"$run/given.stderr" &
  given_pid=$!
  rates=$(wait_for frame_rates "$run/hud") ||
    { cat "$run/given.stderr"; fail "no frame rates from the run with -delay 250000"; }
  echo "frames a second with -delay 250000: $(tr '\n' ' ' <<<"$rates")"
  "$python" -c 'import sys; sys.exit(max(map(float, sys.argv[1:])) > 6)' $rates ||
    fail "more than 6 frames a second with -delay 250000"

  # Ending the first run destroys the window the second draws into.
  kill -TERM "$saver_pid"
  wait_child "$saver_pid" "the program"
  saver_pid=""
  [ $status = 0 ] || fail "exit status $status on SIGTERM, want 0"
  echo "ended by SIGTERM with exit status 0"
  wait_child "$given_pid" "the program drawing into the destroyed window"
  cat "$run/given.stderr"
  [ $status = 0 ] || fail "exit status $status when its window was destroyed, want 0"
  [ -s "$run/given.stderr" ] && fail "output on stderr when its window was destroyed"
  echo "ended with exit status 0 and nothing on stderr when its window was destroyed"

  # A copy of the program with its pictures, one of them missing or damaged;
  # the options every module takes and an XSCREENSAVER_WINDOW that is no
  # window id pass to the check of the pictures.
  mkdir -p "$run/tree/libexec/xscreensaver" "$run/tree/share"
  cp "$program" "$run/tree/libexec/xscreensaver/"
  cp -r "$build/share/opengl-saver" "$run/tree/share/"
  rm "$run/tree/share/opengl-saver/quad.bmp"
  head -c 40 "$build/share/opengl-saver/stars.bmp" >"$run/tree/share/opengl-saver/stars.bmp"
  shared=(-root -window --mono -install --noinstall -visual default --no-fps -fps
          --display "$DISPLAY" -delay 30000 --window-id 0x1fffffff)
  for case in stars.bmp quad.bmp; do
    XSCREENSAVER_WINDOW=" 0x200002" run_briefly "$run/tree/libexec/xscreensaver/opengl-saver" "${shared[@]}"
    cat "$run/stderr"
    [ $status = 1 ] || fail "exit status $status with $case unreadable, want 1"
    [ "$(wc -l <"$run/stderr")" = 1 ] || fail "want exactly one line on stderr"
    grep -q "share/opengl-saver/$case" "$run/stderr" || fail "stderr does not name $case"
    cp "$build/share/opengl-saver/stars.bmp" "$run/tree/share/opengl-saver/"
  done
  for bad in "-delay -1" "-delay 10000001" "-delay 1e4" "-delay" "-window-id -1" \
             "-window-id 0x20000000" "-window-id 99999999999999999999" "-window-id ' 12'" \
             "-window-id 0x" "-visual" "-frame"; do
    eval "run_briefly \"$program\" $bad"
    [ $status = 1 ] && grep -q '^usage:' "$run/stderr" || fail "$bad: exit status $status, want 1 with the usage"
  done
  echo "bad option values refused with the usage"
  exit 0
fi

[ "$mode" = module ] || fail "unknown mode $mode"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$run/deb" >"$run/cpack.log" 2>&1 ||
  { cat "$run/cpack.log"; fail "cpack failed"; }
deb=$(ls "$run"/deb/opengl-saver_*.deb)
lintian --fail-on warning --pedantic --display-experimental \
  "$deb" 2>&1 | grep -v '^running with root privileges' >"$run/lintian.log"
[ "${PIPESTATUS[0]}" = 0 ] || { cat "$run/lintian.log"; fail "lintian finds a warning or an error"; }
cat "$run/lintian.log"
depends=$(dpkg-deb -f "$deb" Depends)
echo "package $(basename "$deb"), Depends: $depends"
for library in libgl1 libglu1-mesa libx11-6 libc6; do
  grep -q "$library" <<<"$depends" || fail "the package does not depend on $library"
done
root=$run/root
dpkg-deb -x "$deb" "$root"
module=$root/usr/libexec/xscreensaver/opengl-saver
hardening-check --nocfprotection "$module" >"$run/hardening.log" ||
  { cat "$run/hardening.log"; fail "the module lacks the hardening Debian builds its modules with"; }
chmod 755 "$root"
for file in usr/share/xscreensaver/config/opengl-saver.xml \
            usr/share/opengl-saver/{cloud,stars,quad}.bmp; do
  [ -f "$root/$file" ] || fail "the package lacks /$file"
done
grep -q '_label="3D OpenGL Screen Saver"' "$root/usr/share/xscreensaver/config/opengl-saver.xml" ||
  fail "the module description lacks its title"

home=$run/home
mkdir -p "$home"
cat >"$home/.xscreensaver" <<CONFIG
mode: one
selected: 0
lock: False
fade: False
unfade: False
splash: False
programs: GL: "3D OpenGL Screen Saver" ${SAVER_MODULE_PREFIX:-} $module -root \n
CONFIG
as_user=()
if [ "$(id -u)" = 0 ]; then
  if ! id opengl-saver-test >/dev/null 2>&1; then
    useradd -M opengl-saver-test || fail "useradd failed"
  fi
  user_made=yes
  chown -R opengl-saver-test "$home"
  as_user=(runuser -u opengl-saver-test --)
fi
user_env=(env DISPLAY="$DISPLAY" HOME="$home" PATH="$PATH")
"${as_user[@]}" "${user_env[@]}" xscreensaver -no-splash -verbose >"$run/daemon.log" 2>&1 &
daemon_pid=$!
saver_command() { timeout "$timeout" "${as_user[@]}" "${user_env[@]}" xscreensaver-command "$@"; }
# True when the daemon answers; ends the wait when it has exited instead.
daemon_answers() {
  saver_command -version >/dev/null 2>&1 && return
  kill -0 "$daemon_pid" 2>/dev/null || { cat "$run/daemon.log"; fail "the daemon exited"; }
  return 1
}
wait_for daemon_answers || { cat "$run/daemon.log"; fail "the daemon did not answer"; }
saver_command -activate >/dev/null || fail "xscreensaver-command -activate failed"
wait_for module_pids >/dev/null || { cat "$run/daemon.log"; fail "the daemon did not start the module"; }
pids=$(module_pids | tr '\n' ' ')
echo "module running: pid $pids"
wait_for scene_shown whole ||
  { cat "$run/daemon.log"; fail "the scene did not appear across the whole screen"; }
wait_for scene_moved || fail "the scene did not move"
[ -n "${SAVER_SCREENSHOT:-}" ] && cp "$run/second.png" "$SAVER_SCREENSHOT"

# The windows on the screen made by the module's connections (X-Resource
# names each connection's process): none, it draws in the daemon's window.
"$python" - $pids <<'PY' || fail "the module made a window of its own"
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
PY

# SIGTERM, as the daemon stops it, ends the module while its window is still
# there (on deactivation the window goes too, which also ends it).
kill -TERM $pids
for pid in $pids; do
  wait_within "$stop_limit" ended "$pid" || fail "the module still runs ${stop_limit}s after SIGTERM"
done
echo "module ended by SIGTERM"
saver_command -deactivate >/dev/null || fail "xscreensaver-command -deactivate failed"
wait_within "$stop_limit" eval '! module_pids >/dev/null' ||
  fail "the module still runs ${stop_limit}s after deactivation"
echo "no module left after deactivation"
saver_command -exit >/dev/null 2>&1
wait_child "$daemon_pid" "the daemon"
daemon_pid=""
exit 0
