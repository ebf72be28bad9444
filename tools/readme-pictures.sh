#!/usr/bin/env bash
# Makes the README's pictures in docs/: the running scene (a frame and an
# animation), the preview and the configuration dialog, each from the saver's
# own code under Wine.
#
# The scene comes from tools/run-saver.sh: the built opengl.scr running full
# screen, its frames kept by the frame-capture library beside it, since Wine
# does not show OpenGL drawn in the saver's child window on the X screen (a
# screenshot is black there). The preview is read back from the saver's
# rendering context by tests/entry/saver_snapshot (the saver's libraries run
# in-process). The dialog is a screenshot of opengl.scr started without a
# switch, on a Wine virtual desktop.
#
# usage: tools/readme-pictures.sh
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/install-deps.sh"

source "$top/tools/host.sh"
arch=$(windows_arch)
loader=$(wine_loader "$arch")
build=$top/build/$arch
mkdir -p "$build"
cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$arch.cmake" \
  >"$build/readme-pictures-cmake.log" 2>&1 || { cat "$build/readme-pictures-cmake.log" >&2; exit 1; }
cmake --build "$build" --target opengl_scr saver_snapshot pictures frame_capture -j 2

export SAVER_WINE=$loader SAVER_WINE_TEMPLATE=$build/wine-template
export SAVER_TEST_OUTPUT=$build/test-output SAVER_TIMEOUT=120
"$top/tests/harness/make-template.sh" "$loader" "$SAVER_WINE_TEMPLATE"
mkdir -p "$SAVER_TEST_OUTPUT" "$top/docs"
run="$top/tests/harness/wine-run.sh"

"$top/tools/run-saver.sh" --xvfb --seconds 5 --build "$build" --out "$build/readme-run"
"$run" --pictures "$build/pictures" -- "$build/bin/saver_snapshot.exe" preview readme_preview.bmp

# The dialog: the saver without a switch, photographed once it is up.
dialog_script=$(mktemp)
trap 'rm -f "$dialog_script"' EXIT
cat >"$dialog_script" <<SCRIPT
#!/usr/bin/env bash
"\$SAVER_WINE" "$build/bin/opengl.scr" &
sleep 4
import -window root "$SAVER_TEST_OUTPUT/readme_dialog_screen.png"
SCRIPT
chmod +x "$dialog_script"
"$run" --host --desktop 1024x768 -- "$dialog_script"

# The scene moving, at 400 x 300 for the page; colours within 4% of the
# frame before count as unchanged, which keeps the file small.
convert "$build/readme-run/scene.gif" -coalesce -resize 400x300 -fuzz 4% -layers Optimize \
  "$top/docs/saver-scene.gif"
echo "readme-pictures: $top/docs/saver-scene.gif $(identify "$top/docs/saver-scene.gif" | wc -l) frames"

/usr/bin/python3 - "$SAVER_TEST_OUTPUT" "$top/docs" "$build/readme-run" <<'PY'
import sys
from PIL import Image, ImageChops

source, docs, run = sys.argv[1], sys.argv[2], sys.argv[3]

# The running scene, at 640 x 480 for the page.
scene = Image.open(f"{run}/screen.png").convert("RGB")
scene.resize((640, 480), Image.LANCZOS).save(f"{docs}/saver-scene.png", optimize=True)

# The preview at its own size, 152 x 112.
Image.open(f"{source}/readme_preview.bmp").convert("RGB").save(
    f"{docs}/saver-preview.png", optimize=True)

# The dialog, cut out of the desktop: everything that differs from the
# desktop's colour in the top-left corner.
screen = Image.open(f"{source}/readme_dialog_screen.png").convert("RGB")
background = Image.new("RGB", screen.size, screen.getpixel((0, 0)))
box = ImageChops.difference(screen, background).getbbox()
if box is None:
    sys.exit("readme-pictures: the dialog did not show")
screen.crop(box).save(f"{docs}/saver-settings.png", optimize=True)
for name in ("saver-scene", "saver-preview", "saver-settings"):
    print(f"readme-pictures: {docs}/{name}.png {Image.open(f'{docs}/{name}.png').size}")
PY
