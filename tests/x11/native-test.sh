#!/usr/bin/env bash
# Runs opengl-saver on a private X server and stops exactly what it started.
#
# usage: native-test.sh module BUILD_DIR [right|left]   the .deb made from
#          BUILD_DIR, clean for lintian and unpacked into a scratch root; the
#          real xscreensaver daemon runs it as its only module: the scene on
#          every monitor (Xvfb's one, or with right or left Xorg's two, the
#          daemon running a module on each) in the daemon's windows, no window
#          of the module's own, moving; the module ended by SIGTERM, then,
#          activated again, by the deactivation alone
#        native-test.sh window BUILD_DIR   the built program in its own window:
#          scene drawn, moving and following the window's size, a bad
#          XSCREENSAVER_WINDOW ignored, the frame-rate text with -fps only, a
#          WM_PROTOCOLS close only ending it (with 0); drawing into given
#          windows: the one -window-id names, else
#          XSCREENSAVER_WINDOW's; ends with 0 and nothing on stderr when that
#          window is destroyed (-delay 250000, the default delay, -delay 0);
#          exit status 0 on SIGTERM; a missing and a damaged picture (with
#          every shared option given): one line on stderr naming it, exit
#          status 1; bad option values: the usage, exit status 1; no GLX: one
#          line, exit status 1
#        native-test.sh bench BUILD_DIR PROGRAM   the frame-cost benchmark PROGRAM
# XScreenSaver refuses to start modules as root: as root the module case runs
# the daemon as the user opengl-saver-test, made for the run and removed after
# (the test fails, touching nothing, when it exists before the run, and when
# it cannot be removed after).
# environment: SAVER_TIMEOUT, seconds any one wait may take (default 60);
#   SAVER_MODULE_PREFIX, a command the daemon runs the module through (to see
#   this test fail on a module that misbehaves)
set -uo pipefail
tests=$(cd "$(dirname "$0")" && pwd)
source "$tests/../../tools/host.sh"
mode=$1 build=$(cd "$2" && pwd) heads=${3:-}
timeout=${SAVER_TIMEOUT:-60}
python=/usr/bin/python3
run=$(mktemp -d "${TMPDIR:-/tmp}/opengl-saver-test.XXXXXX")
chmod 755 "$run"
# A module that outlives SIGTERM by this much has ignored it.
stop_limit=10
daemon_pid="" saver_pid="" user_made=""
test_user=opengl-saver-test

# Kills what the test started, by process id, then removes the test user:
# the test fails when it cannot.
cleanup() {
  local pid status=$?
  [ -n "$daemon_pid" ] && kill "$daemon_pid" 2>/dev/null
  for pid in $saver_pid $(module_pids); do
    kill -KILL "$pid" 2>/dev/null
  done
  [ -n "${windows_PID:-}" ] && kill "$windows_PID" 2>/dev/null
  stop_x_server
  if [ -n "$user_made" ]; then
    if ! wait_for eval "! pgrep -u $test_user >/dev/null"; then
      echo "FAIL: processes of the user $test_user still run; it was not removed"
      status=1
    elif ! userdel "$test_user"; then
      echo "FAIL: the user $test_user could not be removed"
      status=1
    fi
  fi
  rm -rf "$run"
  exit "$status"
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

# The test user must be the test's own: checked before anything is started.
if [ "$mode" = module ] && [ "$(id -u)" = 0 ] && id "$test_user" >/dev/null 2>&1; then
  fail "the user $test_user exists before the run; the test makes it and removes it," \
       "so it leaves an existing one alone: remove it (userdel $test_user) or run as another user"
fi
if [ -n "$heads" ]; then
  start_xorg "$run" "$heads" || fail "Xorg with two monitors did not start"
else
  start_x_server "$run" xvfb -screen 0 1024x768x24 -ac || fail "Xvfb did not start"
fi

# Screenshot of the whole screen into $run/$1.png; one that cannot be taken
# fails the test (a check that a picture lacks something must not pass on no
# picture).
shoot() { timeout "$timeout" import -window root "$run/$1.png" 2>/dev/null || fail "no screenshot of the screen"; }

# True when a fresh screenshot passes look.py's test (scene, lit, whole, dark
# or text) in every rectangle given (the whole screen without one).
looks() {
  local test=$1
  shift
  shoot first && "$python" "$tests/look.py" "$run/first.png" "$test" "${@:-0,0,$screen_size}"
}
screen_size=$(xdpyinfo | awk '/dimensions:/ { sub("x", ",", $2); print $2 }')
scene_shown() { looks scene "$@"; }

# True when a fresh screenshot differs from the first: the scene moves.
scene_moved() { shoot second && ! cmp -s "$run/first.png" "$run/second.png"; }

if [ "$mode" = bench ]; then
  "$3" "$build/share/opengl-saver"
  exit
fi

# The frame rates Mesa's HUD wrote into the folder, one a line, once there
# are three (each over a second).
frame_rates() { [ -s "$1/fps" ] && [ "$(wc -l <"$1/fps")" -ge 3 ] && cat "$1/fps"; }

# Plain X windows for the program to draw into, and client messages to its
# window, from a helper beside the test (windows.py): ask COMMAND sets $answer.
ask() {
  echo "$*" >&"${windows[1]}" && read -r -t "$timeout" answer <&"${windows[0]}" ||
    fail "the window helper did not answer $*"
}

# Waits for a run drawing into a destroyed window: exit status 0 and nothing
# on stderr.
ended_quietly() {
  wait_child "$1" "the program drawing into the destroyed window ($2)"
  cat "$run/given.stderr"
  [ $status = 0 ] || fail "exit status $status when its window was destroyed ($2), want 0"
  [ -s "$run/given.stderr" ] && fail "output on stderr when its window was destroyed ($2)"
  return 0
}

if [ "$mode" = window ]; then
  program=$build/libexec/xscreensaver/opengl-saver
  coproc windows { "$python" "$tests/windows.py"; }
  # In its own window, at 0,0 without a window manager; an XSCREENSAVER_WINDOW
  # that is no window id is ignored.
  XSCREENSAVER_WINDOW=0x0x1f "$program" &
  saver_pid=$!
  wait_for scene_shown || fail "the scene did not appear in the program's window"
  window=$(xdotool search --name '^3D OpenGL Screen Saver$') || fail "no window titled 3D OpenGL Screen Saver"
  wait_for scene_moved || fail "the scene did not move"
  # A client message of another type carrying WM_DELETE_WINDOW, then a resize
  # to the whole screen: the scene filling it shows both were read. The sky
  # beyond the old 800 x 600 shows the new size was taken (an old viewport
  # never lights it); then the whole screen, once.
  ask send "$window" WM_CHANGE_STATE WM_DELETE_WINDOW
  ask resize "$window" ${screen_size/,/ }
  wait_for looks lit 800,0,224,768 0,0,800,168 && looks whole ||
    fail "the scene did not follow the resize after a WM_CHANGE_STATE message"
  echo "a WM_CHANGE_STATE message carrying WM_DELETE_WINDOW ignored"
  kill -TERM "$saver_pid"
  wait_child "$saver_pid" "the program"
  saver_pid=""
  [ $status = 0 ] || fail "exit status $status on SIGTERM, want 0"
  echo "ended by SIGTERM with exit status 0"

  # Four frames a second into a given window; once the frame rate has been
  # measured for seconds, no frame-rate text with -fps -no-fps.
  mkdir "$run/hud"
  ask window 0 0 640 480
  GALLIUM_HUD=fps GALLIUM_HUD_PERIOD=1 GALLIUM_HUD_DUMP_DIR="$run/hud" \
    "$program" -window-id "$answer" -delay 250000 -fps -no-fps 2>"$run/given.stderr" &
  given_pid=$!
  rates=$(wait_for frame_rates "$run/hud") ||
    { cat "$run/given.stderr"; fail "no frame rates from the run with -delay 250000"; }
  echo "frames a second with -delay 250000: $(tr '\n' ' ' <<<"$rates")"
  "$python" -c 'import sys; sys.exit(max(map(float, sys.argv[1:])) > 6)' $rates ||
    fail "more than 6 frames a second with -delay 250000"
  looks text 0,440,120,40 && fail "frame-rate text with -fps -no-fps"
  ask destroy "$answer"
  ended_quietly "$given_pid" "-delay 250000"

  # With -fps the frame rate shows in the corner; the window manager's close
  # (WM_PROTOCOLS carrying WM_DELETE_WINDOW) ends the run with 0.
  "$program" --fps 2>"$run/own.stderr" &
  saver_pid=$!
  wait_for looks text 0,560,120,40 || fail "no frame-rate text in the corner with --fps"
  window=$(xdotool search --name '^3D OpenGL Screen Saver$') || fail "no window titled 3D OpenGL Screen Saver"
  ask send "$window" WM_PROTOCOLS WM_DELETE_WINDOW
  wait_child "$saver_pid" "the program after the window manager's close"
  saver_pid=""
  cat "$run/own.stderr"
  [ $status = 0 ] && [ ! -s "$run/own.stderr" ] ||
    fail "exit status $status after the window manager's close, want 0 and nothing on stderr"
  echo "no frame-rate text with -fps -no-fps, the text with --fps;" \
       "ended by WM_PROTOCOLS WM_DELETE_WINDOW with exit status 0"

  # Its window destroyed at the default delay and with -delay 0, where the
  # swap mostly fails on the gone window before its DestroyNotify is read.
  # Given windows lie below the program's own 800 x 600 one, which must not
  # light them.
  for delay in "" "" "" "-delay 0" "-delay 0" "-delay 0"; do
    ask window 0 604 320 160
    "$program" -window-id "$answer" $delay 2>"$run/given.stderr" &
    given_pid=$!
    wait_for scene_shown 0,604,320,160 || fail "the scene did not appear in window $answer"
    ask destroy "$answer"
    ended_quietly "$given_pid" "${delay:-the default delay}"
  done
  echo "ended with exit status 0 and nothing on stderr when its window was destroyed," \
       "3 times at each delay"

  # The window XSCREENSAVER_WINDOW names, without -window-id; with it, the
  # window -window-id names and not the other.
  ask window 0 604 320 160 && first=$answer
  ask window 340 604 320 160 && second=$answer
  ask window 680 604 320 160 && third=$answer
  XSCREENSAVER_WINDOW=$third "$program" &
  saver_pid=$!
  wait_for scene_shown 680,604,320,160 || fail "the scene did not appear in the window XSCREENSAVER_WINDOW names"
  kill -TERM "$saver_pid"
  wait_child "$saver_pid" "the program"
  XSCREENSAVER_WINDOW=$second "$program" -window-id "$first" &
  saver_pid=$!
  wait_for scene_shown 0,604,320,160 || fail "the scene did not appear in the window -window-id names"
  looks dark 340,604,320,160 || fail "drawn into the window XSCREENSAVER_WINDOW names, not -window-id's"
  kill -TERM "$saver_pid"
  wait_child "$saver_pid" "the program"
  saver_pid=""
  echo "drawn into the window XSCREENSAVER_WINDOW names, unless -window-id names another"
  # An X error while its window exists (one it cannot draw into): Xlib's
  # report and exit status 1.
  ask window 0 604 320 160 input-only
  run_briefly "$program" -window-id "$answer"
  [ $status = 1 ] && grep -q '^X Error of failed request' "$run/stderr" ||
    { cat "$run/stderr"; fail "exit status $status on an X error, want 1 and Xlib's report"; }

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
             "-window-id 0x" "-window-id 0x0x1f" "-window-id 0x+1f" "-window-id '0x 1f'" \
             "-visual" "-frame"; do
    eval "run_briefly \"$program\" $bad"
    [ $status = 1 ] && grep -q '^usage:' "$run/stderr" || fail "$bad: exit status $status, want 1 with the usage"
  done
  echo "bad option values refused with the usage"

  # A display without GLX: one line on stderr, exit status 1.
  kill "$windows_PID" && wait "$windows_PID"
  windows_PID=""
  stop_x_server
  start_x_server "$run" xvfb -screen 0 640x480x24 -extension GLX || fail "Xvfb without GLX did not start"
  run_briefly "$program"
  cat "$run/stderr"
  [ $status = 1 ] && [ "$(wc -l <"$run/stderr")" = 1 ] && grep -q GLX "$run/stderr" ||
    fail "exit status $status without GLX, want 1 and one line on stderr naming GLX"
  echo "no GLX: one line and exit status 1"
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
  useradd -M "$test_user" || fail "useradd failed"
  user_made=yes
  chown -R "$test_user" "$home"
  as_user=(runuser -u "$test_user" --)
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
# The monitors as X,Y,WIDTH,HEIGHT, one a line; the daemon runs a module on each.
monitors=$(xrandr --listmonitors |
  sed -n 's|.* \([0-9]*\)/[0-9]*x\([0-9]*\)/[0-9]*+\([0-9]*\)+\([0-9]*\) .*|\3,\4,\1,\2|p')
echo "monitors:" $monitors
# Activates the daemon and waits for the scene across every monitor; sets pids.
activate() {
  saver_command -activate >/dev/null || fail "xscreensaver-command -activate failed"
  wait_for module_pids >/dev/null || { cat "$run/daemon.log"; fail "the daemon did not start the module"; }
  wait_for looks whole $monitors ||
    { cat "$run/daemon.log"; fail "the scene did not appear across every monitor"; }
  pids=$(module_pids | tr '\n' ' ')
  echo "module running: pid $pids"
}
activate
wait_for scene_moved || fail "the scene did not move"
[ -n "${SAVER_SCREENSHOT:-}" ] && cp "$run/second.png" "$SAVER_SCREENSHOT"

# The windows on the screen made by the module's connections (X-Resource
# names each connection's process): none, it draws in the daemon's window.
"$python" "$tests/own_windows.py" $pids || fail "the module made a window of its own"

# SIGTERM, as the daemon stops it, ends the module while its window is still
# there.
kill -TERM $pids
for pid in $pids; do
  wait_within "$stop_limit" ended "$pid" || fail "the module still runs ${stop_limit}s after SIGTERM"
done
echo "module ended by SIGTERM"
saver_command -deactivate >/dev/null || fail "xscreensaver-command -deactivate failed"
wait_within "$stop_limit" eval '! module_pids >/dev/null' ||
  fail "a module still runs ${stop_limit}s after deactivation"
# Activated again, the deactivation alone ends the modules it finds running.
activate
for pid in $pids; do
  ended "$pid" && fail "the module $pid ended before the deactivation"
done
saver_command -deactivate >/dev/null || fail "xscreensaver-command -deactivate failed"
for pid in $pids; do
  wait_within "$stop_limit" ended "$pid" || fail "the module still runs ${stop_limit}s after deactivation"
done
wait_within "$stop_limit" eval '! module_pids >/dev/null' ||
  fail "a module still runs ${stop_limit}s after deactivation"
echo "running module ended by the deactivation; no module left"
saver_command -exit >/dev/null 2>&1
wait_child "$daemon_pid" "the daemon"
daemon_pid=""
exit 0
