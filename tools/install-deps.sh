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
# 64-bit and 32-bit Wine in one transaction, so that their versions match and
# the 32-bit install can never take 64-bit Wine away; 32-bit Wine's GL, with
# the X libraries it recommends, as users have them (without XRandR it falls
# back to a display-mode code that aborts on a real X server; without
# XComposite, GL in child windows takes a slower way).
packages_wine="wine wine64 libwine wine32:i386 libwine:i386 libgl1-mesa-dri:i386 libgl1:i386
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
sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
updated=""

# True when the package is installed (dpkg -s refuses a name installed for
# two architectures; dpkg-query lists both).
installed() { [[ $(dpkg-query -W -f '${Status}\n' "$1" 2>/dev/null) == *"ok installed"* ]]; }

# Reads the package lists once; the suites whose indexes could not be read
# (a mirror in the middle of a sync) are noted in $scratch/failed as URI SUITE.
update_once() {
  [ -z "$updated" ] || return 0
  updated=yes
  $sudo dpkg --add-architecture i386
  $sudo apt-get update -q 2>&1 | tee "$scratch/update.log" || true
  sed -n 's|^[EW]: Failed to fetch \([^ ]*\)/dists/\([^/]*\)/.*|\1 \2|p' "$scratch/update.log" |
    sort -u >"$scratch/failed"
  [ -s "$scratch/failed" ] &&
    echo "install-deps: these suites' indexes could not be read: $(tr '\n' ' ' <"$scratch/failed")"
  return 0
}

# Installs the given packages, all named in one transaction, when any is
# missing; further arguments before -- go to apt-get. The output lands in
# $scratch/install.log as well.
#   install_all [APT_OPTIONS...] -- PACKAGES...
install_all() {
  local options=() p missing=""
  while [ "$1" != -- ]; do options+=("$1"); shift; done
  shift
  for p in "$@"; do installed "$p" || missing="$missing $p"; done
  [ -z "$missing" ] && return 0
  echo "installing:$missing"
  update_once
  # sudo resets the environment: the setting goes through env.
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "${options[@]}" "$@" 2>&1 | tee "$scratch/install.log"
}

# Writes the machine's apt sources into $scratch/sources without the suites
# listed in $scratch/failed, in both formats: one-line (.list) and deb822
# (.sources, whose Suites field loses the suite; a stanza left without one
# goes).
write_reduced_sources() {
  local file
  mkdir -p "$scratch/sources"
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    awk -v failed="$scratch/failed" -v deb822="$([[ $file == *.sources ]] && echo 1)" '
      BEGIN { while ((getline line < failed) > 0) { split(line, f, " "); sub("/$", "", f[1]); gone[f[1] " " f[2]] = 1 }
              if (deb822) RS = "" }
      # A one-line entry: type, [options], URI, suite, components.
      !deb822 { line = $0; sub(/\[[^]]*\]/, "", line); n = split(line, f, " "); uri = f[2]; sub("/$", "", uri)
                if (!(f[1] ~ /^deb/ && gone[uri " " f[3]])) print; next }
      # A deb822 stanza: its suites without the failed ones of its URIs.
      { uris = ""; kept = ""; n = split($0, lines, "\n")
        for (i = 1; i <= n; i++) if (lines[i] ~ /^URIs:/) { uris = lines[i] " "; gsub("/ ", " ", uris) }
        for (i = 1; i <= n; i++) if (lines[i] ~ /^Suites:/) {
          split(lines[i], s, " ")
          for (j = 2; j in s; j++) { out = 0
            for (key in gone) { split(key, g, " "); if (g[2] == s[j] && index(uris " ", " " g[1] " ")) out = 1 }
            if (!out) kept = kept " " s[j] }
          lines[i] = "Suites:" kept }
        if (kept == "") next
        for (i = 1; i <= n; i++) print lines[i]
        print "" }' "$file" >"$scratch/sources/$(basename "$file" .list | sed 's/\.sources$//').${file##*.}"
  done
  # The sources left are preferred over what is installed, so that apt may
  # take a library back to the version its 32-bit twin has there.
  mkdir -p "$scratch/preferences"
  printf 'Package: *\nPin: origin *\nPin-Priority: 1001\n' >"$scratch/preferences/reduced.pref"
}

# The key line of the last failed install: 32-bit Wine's unmet dependency,
# else the first one, else the first error.
install_error() {
  { grep -m1 -E '^ (wine32|libwine):i386 : ' "$scratch/install.log" ||
      grep -m1 -E '^ [^ ].* : (Depends|PreDepends|Breaks|Conflicts):' "$scratch/install.log" ||
      grep -m1 '^E: ' "$scratch/install.log" || echo "apt-get install failed"; } | sed 's/^ *//'
}

# shellcheck disable=SC2086
install_all -- $packages
# 32-bit Wine; where the first try fails after an update that could not read
# some indexes, once more with those suites left out of the sources for this
# install alone (the machine's own sources stay as they are).
# shellcheck disable=SC2086
if ! install_all -- $packages_wine; then
  reason=$(install_error)
  if [ -s "$scratch/failed" ]; then
    echo "install-deps: once more without the suites whose indexes could not be read"
    write_reduced_sources
    # shellcheck disable=SC2086
    install_all -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$scratch/sources" \
      -o Dir::Etc::Preferences=/dev/null -o Dir::Etc::PreferencesParts="$scratch/preferences" \
      --allow-downgrades -- $packages_wine && reason="" || reason=$(install_error)
  fi
  [ -z "$reason" ] || echo "install-deps: 32-bit Wine could not be installed: $reason"
fi
# 64-bit Wine runs the suite wherever 32-bit Wine does not: it must be there.
for p in wine64 libwine:amd64; do
  installed "$p" || { echo "install-deps: FAILED: $p is not installed" >&2; exit 1; }
done
# The sanitizer and libFuzzer runtime of the clang that is installed.
install_all -- "libclang-rt-$(clang -dumpversion | cut -d. -f1)-dev"
