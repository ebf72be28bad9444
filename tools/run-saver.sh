#!/usr/bin/env bash
# Runs the saver full screen under Wine on this Debian machine and keeps what
# it draws: installs what is missing, builds it, puts its pictures into
# c:\zelvodata\ of a private Wine prefix, starts the built opengl.scr with /s,
# lets it draw for a few seconds and ends it with a key press.
#
# usage: tools/run-saver.sh [--seconds N] [--xvfb] [--build DIR] [--out DIR]
#   --seconds N  how long it draws before the key press (default 5)
#   --xvfb       use a virtual screen (Xvfb) even when DISPLAY is set
#   --build DIR  run the saver already built in DIR; nothing is installed
#                or built
#   --out DIR    where the prefix, the log and the pictures go
#                (default build/run-saver)
#   --native     instead: build the native program opengl-saver and run it
#                in a window on this display until Escape or close
#
# The 32-bit saver runs where 32-bit Wine works; elsewhere the 64-bit one
# under 64-bit Wine. The pictures are the saver's own frames: Wine 8 draws
# the scene but does not bring OpenGL drawn in a child window (the saver draws
# in one) to the X screen, so a screenshot of the screen is black. The frame-
# capture library (tests/frame-capture) is put beside the saver as
# opengl32.dll, which the saver then loads in place of the system's; it passes
# every call on to the system's library and keeps a frame every 100 ms, read
# back just before the swap. From them come screen.png (the last frame) and
# scene.gif (all of them).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/tools/host.sh"
seconds=5 own_screen=0 build="" run=$top/build/run-saver native=0
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift ;;
    --xvfb) own_screen=1 ;;
    --build) build=$2; shift ;;
    --out) run=$2; shift ;;
    --native) native=1 ;;
    *) echo "run-saver: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
case $seconds in ''|*[!0-9]*) echo "run-saver: --seconds takes a whole number" >&2; exit 2 ;; esac

if [ "$native" = 1 ]; then
  [ -n "${DISPLAY:-}" ] || { echo "run-saver: --native needs a display (DISPLAY)" >&2; exit 2; }
  "$top/tools/install-deps.sh"
  cmake -S "$top" -B "$top/build/native" -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ >/dev/null
  cmake --build "$top/build/native" --target opengl-saver native_pictures -j 2
  exec "$top/build/native/libexec/xscreensaver/opengl-saver"
fi
[ -n "${DISPLAY:-}" ] || own_screen=1
mkdir -p "$run"
run=$(cd "$run" && pwd)

# The saver, its pictures and the capture library: built here, or taken
# from the given build.
if [ -z "$build" ]; then
  "$top/tools/install-deps.sh"
  arch=$(windows_arch)
  [ "$arch" = i686 ] || echo "run-saver: 32-bit Wine cannot run here; running the 64-bit saver"
  build=$top/build/$arch
  cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$arch.cmake" \
    >"$run/cmake.log" 2>&1 || { cat "$run/cmake.log" >&2; exit 1; }
  cmake --build "$build" --target opengl_scr pictures frame_capture -j 2
fi
loader=$(loader_for "$build/bin/opengl.scr")
wine_starts "$loader" || { echo "run-saver: $loader cannot run on this machine" >&2; exit 1; }

prefix=$run/prefix frames=$run/frames
export WINEPREFIX=$prefix WINELOADER=$loader WINEDEBUG=${WINEDEBUG:--all}
# opengl32=n,b: the opengl32.dll beside the saver comes first (Wine would
# otherwise use its own in its place).
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;opengl32=n,b"
if [ ! -f "$prefix/system.reg" ]; then
  echo "run-saver: making the Wine prefix $prefix"
  "$loader" wineboot -i >/dev/null 2>&1
  wineserver -w
fi
mkdir -p "$prefix/drive_c/zelvodata"
cp "$build/pictures/"{cloud,stars,quad}.bmp "$prefix/drive_c/zelvodata/"
cp "$build/bin/opengl.scr" "$run/opengl.scr"
cp "$build/bin/frame-capture/opengl32.dll" "$run/opengl32.dll"
rm -rf "$frames" "$run/screen.png" "$run/scene.gif" "$run/ssaver.txt"
mkdir -p "$frames"
export SAVER_CAPTURE_DIR="Z:${frames//\//\\}" SAVER_CAPTURE_INTERVAL_MS=100
export SAVER_CAPTURE_LIMIT=$(( (seconds < 5 ? seconds : 5) * 10 + 1 ))

saver_pid=""
cleanup() {
  [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null
  wineserver -k 2>/dev/null || true
  stop_x_server
}
trap cleanup EXIT
if [ "$own_screen" = 1 ]; then
  start_x_server "$run" xvfb -screen 0 1024x768x24 || exit 1
  echo "run-saver: virtual screen $DISPLAY"
fi

# The saver writes its start-up log (ssaver.txt) into the folder it runs in.
# It draws for the given time from its first frame on.
cd "$run"
"$loader" "$run/opengl.scr" /s &
saver_pid=$!
for _ in $(seq 600); do
  [ -s "$frames/frames.txt" ] || ! kill -0 "$saver_pid" 2>/dev/null && break
  sleep 0.1
done
[ -s "$frames/frames.txt" ] || echo "run-saver: the saver drew no frame" >&2
kill -0 "$saver_pid" 2>/dev/null && sleep "$seconds"

# A key press ends it. The key reaches the saver once Wine has made its
# window the foreground one, which a first press can come before: press
# until it ends, for at most 15 s.
window=$(xdotool search --name '^Screen Saver$' 2>/dev/null | head -n 1 || true)
[ -n "$window" ] && xdotool windowfocus --sync "$window" 2>/dev/null || true
for _ in $(seq 75); do
  kill -0 "$saver_pid" 2>/dev/null || break
  xdotool key shift
  sleep 0.2
done
status=0
if kill -0 "$saver_pid" 2>/dev/null; then
  echo "run-saver: the saver did not end on a key press" >&2
  status=1
else
  wait "$saver_pid" || status=$?
  saver_pid=""
  echo "run-saver: the saver ended with exit code $status"
fi
echo "run-saver: start-up log:"
sed 's/^/  /' "$run/ssaver.txt" 2>/dev/null && echo

# The pictures: the last frame, and all frames as an animation that keeps
# the time between them (frames.txt: number, milliseconds, width, height).
if [ -s "$frames/frames.txt" ]; then
  last=$(tail -n 1 "$frames/frames.txt" | cut -d' ' -f1)
  convert "$frames/frame-$last.bmp" "$run/screen.png"
  animation=()
  while read -r number ms _; do
    [ -n "${previous:-}" ] && animation+=(-delay $(( (ms - previous_ms + 5) / 10 )) "$frames/frame-$previous.bmp")
    previous=$number previous_ms=$ms
  done <"$frames/frames.txt"
  animation+=(-delay 10 "$frames/frame-$previous.bmp")
  convert "${animation[@]}" -resize 512x384 -loop 0 -layers Optimize "$run/scene.gif"
  echo "run-saver: one frame:  $run/screen.png"
  echo "run-saver: animation:  $run/scene.gif ($(wc -l <"$frames/frames.txt") frames)"
else
  [ "$status" = 0 ] && status=1
fi
exit $status
