#!/usr/bin/env bash
# Installs the Debian packages that building and testing the saver need,
# when any is missing. Needs root (or sudo) only when something is missing.
set -euo pipefail
packages="g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools wine wine64
  xvfb xdotool x11-utils x11-xserver-utils imagemagick libgl1-mesa-dri cmake
  googletest nsis python3-pil zip 7zip"
# A real X server (Xorg with the dummy driver) for the exit test and the tests
# on two monitors.
packages="$packages xserver-xorg-core xserver-xorg-video-dummy"
# 32-bit Wine and its GL, with the X libraries it recommends, as users have
# them (without XRandR it falls back to a display-mode code that aborts on a
# real X server; without XComposite, GL in child windows takes a slower way).
packages_32bit="wine32:i386 libwine:i386 libgl1-mesa-dri:i386 libgl1:i386
  libglx-mesa0:i386 libxcomposite1:i386 libxcursor1:i386 libxfixes3:i386 libxi6:i386
  libxinerama1:i386 libxrandr2:i386 libxrender1:i386 libxxf86vm1:i386"
# The native build's compilers: GCC for the module and the tests, clang for
# the fuzz target (its sanitizer runtime is added below).
packages="$packages gcc g++ clang"
# The XScreenSaver module: the libraries it links, the daemon its test runs
# it under, and what makes the .deb and runs the test as another user.
packages="$packages libgl-dev libglu1-mesa-dev libx11-dev xscreensaver xscreensaver-gl
  dpkg-dev file procps"
# The package's checks: lintian, hardening-check (devscripts), and the
# X-Resource library through which the module test finds the module's windows.
packages="$packages lintian devscripts libxres1"
# Installs those of the given packages that are missing.
install_missing() {
  local missing="" p state sudo=""
  for p in "$@"; do
    # dpkg -s refuses a name installed for two architectures; this lists both.
    state=$(dpkg-query -W -f '${Status}\n' "$p" 2>/dev/null || true)
    [[ $state == *"ok installed"* ]] || missing="$missing $p"
  done
  [ -z "$missing" ] && return 0
  # sudo resets the environment: the setting goes through env.
  [ "$(id -u)" = 0 ] || sudo=sudo
  echo "installing:$missing"
  $sudo dpkg --add-architecture i386
  # A mirror in the middle of a sync fails an index or two; the install that
  # follows still fails when a package it needs cannot be found.
  $sudo apt-get update -q || echo "install-deps: apt-get update reported errors; going on with the indexes it has"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
}
# shellcheck disable=SC2086
install_missing $packages
# Without 32-bit Wine the machine is tested as one that cannot run 32-bit
# programs (tools/host.sh asks 32-bit Wine itself); say so where it could not
# be installed.
# shellcheck disable=SC2086
install_missing $packages_32bit ||
  echo "install-deps: 32-bit Wine could not be installed; the 32-bit saver is checked statically only, as on a machine without 32-bit programs"
# The sanitizer and libFuzzer runtime of the clang that is installed.
install_missing "libclang-rt-$(clang -dumpversion | cut -d. -f1)-dev"
