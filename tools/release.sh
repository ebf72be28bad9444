#!/usr/bin/env bash
# Builds the release: the 32-bit and 64-bit savers, the pictures and the
# license, a zip of them for installing by hand, and the installers. The
# same sources give the same bytes.
# usage: tools/release.sh [BUILD_ROOT]
#   builds in BUILD_ROOT/i686 and BUILD_ROOT/x86_64 (default: build/, the
#   folders tools/test.sh uses) and writes BUILD_ROOT/release/.
# environment: SOURCE_DATE_EPOCH, the time stamp of the zip's entries
#   (default: the time of the last commit).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
root=$(mkdir -p "${1:-$top/build}" && cd "${1:-$top/build}" && pwd)
version=$(sed -n 's/^!define VERSION "\(.*\)"$/\1/p' "$top/installer/opengl-saver.nsi")
name=opengl-saver-$version
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$top" log -1 --format=%ct 2>/dev/null || true)}
[ -n "$epoch" ] || { echo "release: no git history here; set SOURCE_DATE_EPOCH" >&2; exit 1; }

"$top/tools/install-deps.sh"
for arch in i686 x86_64; do
  cmake -S "$top" -B "$root/$arch" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$arch.cmake" >/dev/null
  cmake --build "$root/$arch" --target opengl_scr pictures -j 2
done

out=$root/release
rm -rf "$out"
stage=$out/$name
mkdir -p "$stage/32-bit" "$stage/64-bit" "$stage/zelvodata"
cp "$root/i686/bin/opengl.scr" "$stage/32-bit/"
cp "$root/x86_64/bin/opengl.scr" "$stage/64-bit/"
cp "$root/i686/pictures/"{cloud,stars,quad}.bmp "$stage/zelvodata/"
sed 's/$/\r/' "$top/installer/readme.txt" > "$stage/readme.txt"
sed 's/$/\r/' "$top/LICENSE" > "$stage/license.txt"

# Both builds make the same pictures; a difference means a broken generator.
for picture in cloud stars quad; do
  cmp "$root/i686/pictures/$picture.bmp" "$root/x86_64/pictures/$picture.bmp"
done

# The zip: fixed modes and times, sorted entries, no extra fields.
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +
find "$stage" -exec touch -h -d "@$epoch" {} +
(cd "$out" && find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -q -X -D "$name.zip" -@)

nsis=(makensis -V2 -WX -DPICTURES="$stage/zelvodata"
      -DSAVER64="$stage/64-bit/opengl.scr" -DLICENSE="$stage/license.txt")
"${nsis[@]}" -DSAVER32="$stage/32-bit/opengl.scr" -DOUTFILE="$out/$name-setup.exe" \
  "$top/installer/opengl-saver.nsi"
"${nsis[@]}" -DAMD64 -DOUTFILE="$out/$name-setup-x64.exe" "$top/installer/opengl-saver.nsi"

(cd "$out" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum > SHA256SUMS)
echo "release in $out:"
(cd "$out" && cat SHA256SUMS)
