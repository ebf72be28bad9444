#!/usr/bin/env bash
# Runs tools/run-saver.sh on a virtual screen of its own with the saver of a
# given build and checks that its pictures show the scene: much of the frame
# is not black, the model's yellow-green is there, and two frames a second
# apart differ.
# usage: run-saver-scene.sh BUILD_DIR OUT_DIR
set -uo pipefail
build=$1 out=$2
top=$(cd "$(dirname "$0")/../.." && pwd)
"$top/tools/run-saver.sh" --xvfb --seconds 2 --build "$build" --out "$out" ||
  { echo "FAIL: run-saver.sh ended with $?"; exit 1; }

/usr/bin/python3 - "$out" <<'PY'
import sys
from PIL import Image, ImageChops

out = sys.argv[1]
failures = []

# The last frame: the share of pixels that are not black, and of the
# model's yellow-green (the stars and the cloud are white, blue and violet).
frame = Image.open(f"{out}/screen.png").convert("RGB")
pixels = list(frame.getdata())
lit = sum(1 for p in pixels if max(p) > 8) / len(pixels)
model = sum(1 for r, g, b in pixels if g > 90 and g > b + 50 and r > 40) / len(pixels)
print(f"screen.png {frame.size}: {lit:.0%} not black, {model:.1%} the model's colour")
if lit < 0.3:
    failures.append("less than 30% of the frame is not black")
if model < 0.01:
    failures.append("less than 1% of the frame has the model's colour")

# Two kept frames at least a second apart (frames.txt: number, milliseconds).
times = [line.split()[:2] for line in open(f"{out}/frames/frames.txt")]
first_number, first_ms = times[0][0], int(times[0][1])
later = [number for number, ms in times if int(ms) - first_ms >= 1000]
if not later:
    failures.append(f"no frame a second after the first ({len(times)} frames)")
else:
    a = Image.open(f"{out}/frames/frame-{first_number}.bmp").convert("RGB")
    b = Image.open(f"{out}/frames/frame-{later[0]}.bmp").convert("RGB")
    changed = sum(1 for p in ImageChops.difference(a, b).getdata() if max(p) > 24)
    share = changed / (a.size[0] * a.size[1])
    print(f"frames {first_number} and {later[0]}: {share:.1%} of the pixels differ")
    if share < 0.02:
        failures.append("two frames a second apart are nearly the same")

gif = Image.open(f"{out}/scene.gif")
print(f"scene.gif: {gif.n_frames} frames")
if gif.n_frames < 2:
    failures.append("scene.gif is not an animation")
for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
PY
