#!/usr/bin/env bash
# Runs opengl-saver on a private Xvfb display and stops exactly what it started.
#
# usage: native-test.sh module BUILD_DIR   the .deb made from BUILD_DIR, unpacked
#          into a scratch root; the real xscreensaver daemon runs it as its only
#          module: scene on screen and moving, module gone after deactivation
#        native-test.sh window BUILD_DIR   the built program in its own window:
#          scene drawn and moving, exit status 0 on SIGTERM; a missing and a
#          damaged picture: one line on stderr naming it, exit status 1
#        native-test.sh bench BUILD_DIR PROGRAM   the frame-cost benchmark PROGRAM
# XScreenSaver refuses to start modules as root: as root the module case runs
# the daemon as the user opengl-saver-test, made when missing.
# environment: SAVER_TIMEOUT, seconds any one wait may take (default 60)
set -uo pipefail
mode=$1 build=$(cd "$2" && pwd)
timeout=${SAVER_TIMEOUT:-60}
python=/usr/bin/python3
run=$(mktemp -d "${TMPDIR:-/tmp}/opengl-saver-test.XXXXXX")
chmod 755 "$run"
xvfb_pid="" daemon_pid="" saver_pid=""

cleanup() {
  [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null
  [ -n "$daemon_pid" ] && kill "$daemon_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$run"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

# Waits until the command succeeds, at most $timeout seconds.
wait_for() {
  local end=$((SECONDS + timeout))
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.2
  done
}

# -noreset: without it the server resets whenever its last client leaves, and
# a client connecting during the reset is refused (the daemon, connecting just
# after xscreensaver-command's first poll left, then exits without a word).
exec 9>"$run/display"
Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp -noreset -ac >"$run/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 9>&-
wait_for test -s "$run/display" || fail "Xvfb did not start"
export DISPLAY=:$(cat "$run/display")

# Screenshot of the whole screen into $run/$1.png.
shoot() { import -window root "$run/$1.png" 2>/dev/null; }

# True when the screenshot shows the lit scene: many pixels off black and
# the model's green-yellow skin.
scene_shown() {
  shoot first && "$python" - "$run/first.png" <<'PY'
import sys
from PIL import Image
pixels = list(Image.open(sys.argv[1]).convert("RGB").getdata())
lit = sum(1 for r, g, b in pixels if r + g + b > 60)
skin = sum(1 for r, g, b in pixels if g > 90 and g > b + 50 and r > b)
print(f"lit pixels {lit}, model-coloured pixels {skin}")
sys.exit(0 if lit > 20000 and skin > 2000 else 1)
PY
}

# True when a fresh screenshot differs from the first: the scene moves.
scene_moved() { shoot second && ! cmp -s "$run/first.png" "$run/second.png"; }

if [ "$mode" = bench ]; then
  "$3" "$build/share/opengl-saver"
  exit
fi

if [ "$mode" = window ]; then
  program=$build/libexec/xscreensaver/opengl-saver
  "$program" &
  saver_pid=$!
  wait_for scene_shown || fail "the scene did not appear in the program's window"
  xdotool search --name '^3D OpenGL Screen Saver$' >/dev/null || fail "no window titled 3D OpenGL Screen Saver"
  wait_for scene_moved || fail "the scene did not move"
  kill -TERM "$saver_pid"
  wait "$saver_pid"
  status=$? saver_pid=""
  [ $status = 0 ] || fail "exit status $status on SIGTERM, want 0"
  echo "ended by SIGTERM with exit status 0"

  # A copy of the program with its pictures, one of them missing or damaged.
  mkdir -p "$run/tree/libexec/xscreensaver" "$run/tree/share"
  cp "$program" "$run/tree/libexec/xscreensaver/"
  cp -r "$build/share/opengl-saver" "$run/tree/share/"
  rm "$run/tree/share/opengl-saver/quad.bmp"
  head -c 40 "$build/share/opengl-saver/stars.bmp" >"$run/tree/share/opengl-saver/stars.bmp"
  for case in stars.bmp quad.bmp; do
    "$run/tree/libexec/xscreensaver/opengl-saver" 2>"$run/stderr"
    status=$?
    cat "$run/stderr"
    [ $status = 1 ] || fail "exit status $status with $case unreadable, want 1"
    [ "$(wc -l <"$run/stderr")" = 1 ] || fail "want exactly one line on stderr"
    grep -q "share/opengl-saver/$case" "$run/stderr" || fail "stderr does not name $case"
    cp "$build/share/opengl-saver/stars.bmp" "$run/tree/share/opengl-saver/"
  done
  exit 0
fi

[ "$mode" = module ] || fail "unknown mode $mode"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$run/deb" >"$run/cpack.log" 2>&1 ||
  { cat "$run/cpack.log"; fail "cpack failed"; }
deb=$(ls "$run"/deb/opengl-saver_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "package $(basename "$deb"), Depends: $depends"
for library in libgl1 libglu1-mesa libx11-6 libc6; do
  grep -q "$library" <<<"$depends" || fail "the package does not depend on $library"
done
root=$run/root
dpkg-deb -x "$deb" "$root"
module=$root/usr/libexec/xscreensaver/opengl-saver
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
programs: GL: "3D OpenGL Screen Saver" $module -root \n
CONFIG
as_user=()
if [ "$(id -u)" = 0 ]; then
  id opengl-saver-test >/dev/null 2>&1 || useradd -m opengl-saver-test || fail "useradd failed"
  chown -R opengl-saver-test "$home"
  as_user=(runuser -u opengl-saver-test --)
fi
user_env=(env DISPLAY="$DISPLAY" HOME="$home" PATH="$PATH")
"${as_user[@]}" "${user_env[@]}" xscreensaver -no-splash -verbose >"$run/daemon.log" 2>&1 &
daemon_pid=$!
saver_command() { "${as_user[@]}" "${user_env[@]}" xscreensaver-command "$@"; }
# True when the daemon answers; ends the wait when it has exited instead.
daemon_answers() {
  saver_command -version >/dev/null 2>&1 && return
  kill -0 "$daemon_pid" 2>/dev/null || { cat "$run/daemon.log"; fail "the daemon exited"; }
  return 1
}
wait_for daemon_answers || { cat "$run/daemon.log"; fail "the daemon did not answer"; }
saver_command -activate >/dev/null || fail "xscreensaver-command -activate failed"
module_pids() { pgrep -f "^$module" ; }
wait_for module_pids >/dev/null || { cat "$run/daemon.log"; fail "the daemon did not start the module"; }
echo "module running: pid $(module_pids | tr '\n' ' ')"
wait_for scene_shown || { cat "$run/daemon.log"; fail "the scene did not appear on the screen"; }
wait_for scene_moved || fail "the scene did not move"
[ -n "${SAVER_SCREENSHOT:-}" ] && cp "$run/second.png" "$SAVER_SCREENSHOT"
saver_command -deactivate >/dev/null || fail "xscreensaver-command -deactivate failed"
wait_for eval '! module_pids >/dev/null' || fail "the module still runs after deactivation"
echo "module gone after deactivation"
saver_command -exit >/dev/null 2>&1
wait "$daemon_pid" 2>/dev/null
daemon_pid=""
exit 0
