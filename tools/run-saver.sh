#!/usr/bin/env bash
# Runs the saver full screen under Wine on this Debian machine: installs what
# is missing, builds it, puts its pictures into c:\zelvodata\ of a private
# Wine prefix, starts it, takes a screenshot and ends it with a key press.
#
# usage: tools/run-saver.sh [--seconds N] [--xvfb] [--screenshot FILE]
#   --seconds N        how long it runs before the key press (default 5)
#   --xvfb             use a virtual screen even when DISPLAY is set
#   --screenshot FILE  where the screenshot goes (default build/run-saver/screen.png)
#   --native           instead: build the native program opengl-saver and run
#                      it in a window on this display until Escape or close
#
# The 32-bit saver runs where 32-bit Wine works; elsewhere the 64-bit one
# under 64-bit Wine. The prefix is build/run-saver/prefix, made on first use.
# On a virtual screen (its own Xvfb, when DISPLAY is not set) the OpenGL
# picture is drawn but not shown: Wine does not put OpenGL drawn in a child
# window on an Xvfb screen, so that screenshot is black where the scene is.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=5 own_screen=0 screenshot="" native=0
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift ;;
    --xvfb) own_screen=1 ;;
    --screenshot) screenshot=$2; shift ;;
    --native) native=1 ;;
    *) echo "run-saver: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done

if [ "$native" = 1 ]; then
  [ -n "${DISPLAY:-}" ] || { echo "run-saver: --native needs a display (DISPLAY)" >&2; exit 2; }
  "$top/tools/install-deps.sh"
  cmake -S "$top" -B "$top/build/native" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
  cmake --build "$top/build/native" --target opengl-saver native_pictures -j 2
  exec "$top/build/native/libexec/xscreensaver/opengl-saver"
fi
[ -n "${DISPLAY:-}" ] || own_screen=1

"$top/tools/install-deps.sh"

# 32-bit Wine needs a machine that runs 32-bit Linux programs.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  arch=i686 loader=/usr/lib/wine/wine
else
  arch=x86_64 loader=/usr/lib/wine/wine64
  echo "run-saver: 32-bit Wine cannot run here; running the 64-bit saver"
fi
build=$top/build/$arch
run=$top/build/run-saver
prefix=$run/prefix
mkdir -p "$run"
cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$arch.cmake" \
  >"$run/cmake.log" 2>&1 || { cat "$run/cmake.log" >&2; exit 1; }
cmake --build "$build" --target opengl_scr pictures -j 2
screenshot=${screenshot:-$run/screen.png}
export WINEPREFIX=$prefix WINELOADER=$loader WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ ! -f "$prefix/system.reg" ]; then
  echo "run-saver: making the Wine prefix $prefix"
  "$loader" wineboot -i >/dev/null 2>&1
  wineserver -w
fi
mkdir -p "$prefix/drive_c/zelvodata"
cp "$build/pictures/"{cloud,stars,quad}.bmp "$prefix/drive_c/zelvodata/"
cp "$build/bin/opengl.scr" "$run/opengl.scr"

xvfb_pid=""
saver_pid=""
cleanup() {
  [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  return 0
}
trap cleanup EXIT
if [ "$own_screen" = 1 ]; then
  exec 9>"$run/display"
  Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp >"$run/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$run/display" ] && break; sleep 0.05; done
  exec 9>&-
  export DISPLAY=:$(cat "$run/display")
  echo "run-saver: virtual screen $DISPLAY"
fi

# The saver writes its start-up log (ssaver.txt) into the folder it runs in.
cd "$run"
"$loader" "$run/opengl.scr" /s &
saver_pid=$!
sleep "$seconds"
import -window root "$screenshot"
echo "run-saver: screenshot in $screenshot"

# A key press ends it; the key goes to the saver's window.
window=$(xdotool search --name '^Screen Saver$' 2>/dev/null | head -n 1 || true)
[ -n "$window" ] && xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key shift
status=0
for _ in $(seq 100); do kill -0 "$saver_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$saver_pid" 2>/dev/null; then
  echo "run-saver: the saver did not end on the key press" >&2
  status=1
else
  wait "$saver_pid" || status=$?
  saver_pid=""
  echo "run-saver: the saver ended with exit code $status"
fi
echo "run-saver: start-up log:"
sed 's/^/  /' "$run/ssaver.txt" 2>/dev/null && echo
exit $status
