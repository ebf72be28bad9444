#!/usr/bin/env bash
# Runs the built saver full screen the way a user's system would, takes a
# picture of the whole X screen while it draws, and ends it with a real key
# press through the X server. Wine under Xvfb does not put OpenGL drawn in a
# child window on the X screen, so the picture shows what X shows, not the
# scene (the frames tests read the scene back instead).
# usage (through wine-run.sh --host): x_screenshot.sh SAVER PICTURE_NAME
set -uo pipefail
saver=$1 name=$2
cd "$SAVER_RUN_DIR" || exit 2
cp "$saver" opengl.scr || exit 2

"$SAVER_WINE" opengl.scr /s &
pid=$!
for _ in $(seq 300); do [ -s ssaver.txt ] && break; sleep 0.1; done
[ -s ssaver.txt ] || { echo "FAIL: the saver wrote no start-up log"; exit 1; }

picture=$SAVER_TEST_OUTPUT/$name.png
# True once the saver's window is on the X screen, as an X window of its own
# (in Wine's desktop too, where it shows only the desktop's background).
saver_shown() { xdotool search --onlyvisible --name '^Screen Saver$' >/dev/null 2>&1; }
for _ in $(seq 300); do saver_shown && break; sleep 0.1; done
saver_shown || { echo "FAIL: the saver's window did not appear on the X screen"; exit 1; }
kill -0 "$pid" 2>/dev/null || { echo "FAIL: the saver ended by itself"; exit 1; }

import -window root "$picture" || { echo "FAIL: no screenshot"; exit 1; }
echo "X screen while the saver draws: $picture, mean brightness" \
     "$(convert "$picture" -colorspace Gray -format '%[fx:mean]' info:)"

# A key reaches the saver once Wine has made its window the foreground one,
# which the X screen does not show: press until it ends, for at most 15 s.
for _ in $(seq 75); do
  kill -0 "$pid" 2>/dev/null || break
  xdotool key space
  sleep 0.2
done
if kill -0 "$pid" 2>/dev/null; then
  echo "FAIL: a key press did not end the saver"
  kill "$pid"
  exit 1
fi
wait "$pid"
status=$?
[ "$status" = 0 ] || { echo "FAIL: exit code $status"; exit 1; }
echo "a key press ended the saver with exit code 0"
