#!/usr/bin/env bash
# Runs one Windows program under Wine in a private prefix (a copy of the
# template) on a private Xvfb display, then stops exactly what it started.
# The program's exit code becomes this script's exit code.
#
# usage: wine-run.sh [options] -- PROGRAM [ARGS...]
#   --win98          the prefix reports the 9x family (Wine's Version = win98)
#   --desktop WxH    turn on Wine's virtual desktop of that size
#   --screen WxHxD   Xvfb screen (default 1024x768x24)
#   --xorg           a real X server instead of Xvfb: Xorg with the dummy
#                    driver, 1024x768 at depth 24 with 800x600 and 640x480
#   --xorg-two-heads right|left|below
#                    Xorg with the dummy driver and two monitors: an 800x600
#                    primary and a 1024x768 second head right or left of it,
#                    or a second 800x600 one below it; the run fails when
#                    xrandr's monitors differ afterwards
#   --pictures DIR   copy DIR/*.bmp into c:\zelvodata\
#   --cwd DIR        run in DIR (default: a fresh empty folder)
#   --keep           keep the prefix and print where it is
#   --host           PROGRAM is a host command (a script driving Windows
#                    programs with $SAVER_WINE and taking screenshots)
#   --png NAME       after a passing run, the picture NAME.bmp that the program
#                    kept in $SAVER_TEST_OUTPUT gets a PNG copy beside it, for
#                    review; a missing one fails the run (repeatable)
# environment: SAVER_WINE (loader), SAVER_WINE_TEMPLATE (template prefix),
#   SAVER_TIMEOUT (seconds, default 120);
#   the program sees SAVER_RUN_DIR, the run's folder.
set -uo pipefail
source "$(dirname "$0")/../../tools/host.sh"

win98=0 desktop="" screen=1024x768x24 xorg=0 heads="" pictures="" cwd="" keep=0 host=0 pngs=()
while [ $# -gt 0 ]; do
  case $1 in
    --win98) win98=1 ;;
    --desktop) desktop=$2; shift ;;
    --screen) screen=$2; shift ;;
    --xorg) xorg=1 ;;
    --xorg-two-heads) xorg=1 heads=$2; shift ;;
    --pictures) pictures=$2; shift ;;
    --cwd) cwd=$2; shift ;;
    --keep) keep=1 ;;
    --host) host=1 ;;
    --png) pngs+=("$2"); shift ;;
    --) shift; break ;;
    *) echo "wine-run: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
[ $# -gt 0 ] || { echo "wine-run: no program" >&2; exit 2; }

: "${SAVER_WINE:?}" "${SAVER_WINE_TEMPLATE:?}"
run=$(mktemp -d "${TMPDIR:-/tmp}/saver-run.XXXXXX")
prefix=$run/prefix

cleanup() {
  WINEPREFIX=$prefix wineserver -k 2>/dev/null
  WINEPREFIX=$prefix wineserver -w 2>/dev/null
  stop_x_server
  if [ "$keep" = 1 ]; then echo "wine-run: kept $run" >&2; else rm -rf "$run"; fi
}
trap cleanup EXIT
trap 'exit 143' INT TERM

# The prefix shares the template's files by hard link. The files a run
# writes to are real copies: the registry files, and the Windows folder's
# .ini files, which the profile functions rewrite in place (through a link
# that write would reach the template and every other run's prefix).
cp -al "$SAVER_WINE_TEMPLATE" "$prefix"
for own in "$prefix"/*.reg "$prefix"/drive_c/windows/*.ini; do
  cp --remove-destination "$SAVER_WINE_TEMPLATE/${own#"$prefix"/}" "$own"
done

if [ "$win98" = 1 ]; then
  printf '\n[Software\\\\Wine] 1700000000\n"Version"="win98"\n' >> "$prefix/user.reg"
fi
if [ -n "$desktop" ]; then
  printf '\n[Software\\\\Wine\\\\Explorer] 1700000000\n"Desktop"="Default"\n' >> "$prefix/user.reg"
  printf '\n[Software\\\\Wine\\\\Explorer\\\\Desktops] 1700000000\n"Default"="%s"\n' "$desktop" >> "$prefix/user.reg"
fi
if [ -n "$pictures" ]; then
  mkdir -p "$prefix/drive_c/zelvodata"
  cp "$pictures"/*.bmp "$prefix/drive_c/zelvodata/"
fi

if [ "$xorg" = 1 ]; then
  start_xorg "$run" "$heads" || exit 2
else
  start_x_server "$run" xvfb -screen 0 "$screen" || exit 2
fi
# The monitors as the X server has them, to compare after the run.
monitors() { xrandr --listmonitors 2>&1; }
[ -n "$heads" ] && monitors >"$run/monitors.before"
export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} WINELOADER=$SAVER_WINE
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}mscoree,mshtml=;winemenubuilder.exe=d"
export SAVER_RUN_DIR=$run

if [ -z "$cwd" ]; then cwd=$run/work; mkdir -p "$cwd"; fi
cd "$cwd"
if [ "$host" = 1 ]; then
  timeout -k 5 "${SAVER_TIMEOUT:-120}" "$@"
else
  timeout -k 5 "${SAVER_TIMEOUT:-120}" "$SAVER_WINE" "$@"
fi
status=$?
[ "$status" = 124 ] && echo "wine-run: timed out after ${SAVER_TIMEOUT:-120} s: $*" >&2
# On two heads the X server's layout must come back as it was, within ten
# seconds of the end of the run.
if [ -n "$heads" ]; then
  for _ in $(seq 100); do
    monitors | cmp -s - "$run/monitors.before" && break
    sleep 0.1
  done
  monitors | cmp -s - "$run/monitors.before" || {
    echo "wine-run: the monitors are not as before the run; before and after:" >&2
    cat "$run/monitors.before" >&2
    monitors >&2
    status=1
  }
fi
if [ "$status" = 0 ]; then
  for name in "${pngs[@]}"; do
    convert "$SAVER_TEST_OUTPUT/$name.bmp" "$SAVER_TEST_OUTPUT/$name.png" ||
      { echo "wine-run: no picture $name.bmp kept in $SAVER_TEST_OUTPUT" >&2; status=1; }
  done
fi
exit $status
