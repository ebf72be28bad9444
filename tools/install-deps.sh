#!/usr/bin/env bash
# Installs the Debian packages that building and testing the saver need,
# when any is missing. Needs root (or sudo) only when something is missing.
set -euo pipefail
packages="g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools wine wine32:i386
  wine64 libwine:i386 xvfb xdotool x11-utils imagemagick libgl1-mesa-dri:i386
  libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri cmake googletest nsis python3-pil
  zip 7zip"
# The native build's compiler, sanitizers and libFuzzer.
packages="$packages clang libclang-rt-14-dev"
missing=""
for p in $packages; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo
echo "installing:$missing"
$sudo dpkg --add-architecture i386
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
