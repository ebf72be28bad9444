#!/usr/bin/env bash
# Makes the release twice, in two fresh build folders, and checks that both
# give the same bytes, that the release holds what it should, and what the
# installers carry (read with 7-Zip, since the 32-bit installer cannot run
# where 32-bit Wine cannot).
# usage: release_twice.sh WORK_DIR
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$1
rm -rf "$work"
mkdir -p "$work"
for run in a b; do
  bash "$top/tools/release.sh" "$work/$run" > "$work/$run.log" 2>&1 ||
    { cat "$work/$run.log"; exit 1; }
done
a=$work/a/release b=$work/b/release
status=0
fail() { echo "FAIL: $*"; status=1; }

# Same files, same bytes.
files=$(cd "$a" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$files" = "$(cd "$b" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)" ] ||
  fail "the two releases hold different files"
for f in $files; do
  cmp -s "$a/$f" "$b/$f" || fail "$f differs between the two builds"
done
echo "$(wc -w <<<"$files") files compared"

name=opengl-saver-1.0
expected="SHA256SUMS
$name-setup-x64.exe
$name-setup.exe
$name.zip
$name/32-bit/opengl.scr
$name/64-bit/opengl.scr
$name/license.txt
$name/readme.txt
$name/zelvodata/cloud.bmp
$name/zelvodata/quad.bmp
$name/zelvodata/stars.bmp"
[ "$files" = "$expected" ] || fail "release files: $(echo $files)"
(cd "$a" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match"

# The license is the repository's, with Windows line ends.
cmp -s "$a/$name/license.txt" <(sed 's/$/\r/' "$top/LICENSE") || fail "license.txt"

# The savers are the builds of each target.
cmp -s "$a/$name/32-bit/opengl.scr" "$work/a/i686/bin/opengl.scr" || fail "32-bit saver"
cmp -s "$a/$name/64-bit/opengl.scr" "$work/a/x86_64/bin/opengl.scr" || fail "64-bit saver"

# The zip holds exactly the staged folder.
mkdir "$work/unzipped"
(cd "$work/unzipped" && unzip -q "$a/$name.zip")
diff -r "$work/unzipped/$name" "$a/$name" || fail "zip contents"

# The installers: the 32-bit one is a Windows 95/NT 4 program (subsystem
# 4.0) holding both savers; the 64-bit one holds the 64-bit saver.
file -b "$a/$name-setup.exe" | grep -q '^PE32 executable (GUI) Intel 80386' ||
  fail "setup.exe is $(file -b "$a/$name-setup.exe")"
file -b "$a/$name-setup-x64.exe" | grep -q '^PE32+ executable (GUI) x86-64' ||
  fail "setup-x64.exe is $(file -b "$a/$name-setup-x64.exe")"
subsystem=$(i686-w64-mingw32-objdump -p "$a/$name-setup.exe" |
            awk '/^MajorSubsystemVersion/ {M=$2} /^MinorSubsystemVersion/ {m=$2} END {print M "." m}')
[ "$subsystem" = 4.0 ] || fail "setup.exe subsystem version $subsystem"

# payload INSTALLER: extracts it into a fresh folder named after it.
payload() {
  local dir=$work/payload-$(basename "$1" .exe)
  mkdir "$dir"
  (cd "$dir" && 7zz x -aou -y "$1" >/dev/null)
  echo "$dir"
}
p32=$(payload "$a/$name-setup.exe")
p64=$(payload "$a/$name-setup-x64.exe")
for p in "$p32" "$p64"; do
  for picture in cloud stars quad; do
    cmp -s "$p/c:/zelvodata/$picture.bmp" "$a/$name/zelvodata/$picture.bmp" ||
      fail "$picture.bmp in $(basename "$p")"
  done
  # 7-Zip shows what goes into the install folder at the top.
  cmp -s "$p/license.txt" "$a/$name/license.txt" || fail "license.txt in $(basename "$p")"
done
# The 32-bit installer lists the 64-bit saver first, then the 32-bit one.
cmp -s "$p32/\$SYSDIR/opengl.scr" "$a/$name/64-bit/opengl.scr" || fail "64-bit saver in setup.exe"
cmp -s "$p32/\$SYSDIR/opengl_1.scr" "$a/$name/32-bit/opengl.scr" || fail "32-bit saver in setup.exe"
cmp -s "$p64/\$SYSDIR/opengl.scr" "$a/$name/64-bit/opengl.scr" || fail "saver in setup-x64.exe"
[ ! -e "$p64/\$SYSDIR/opengl_1.scr" ] || fail "setup-x64.exe holds two savers"

[ $status = 0 ] && rm -rf "$work"
exit $status
