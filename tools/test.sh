#!/usr/bin/env bash
# Installs what the build needs (when missing), builds the saver for both
# targets and the native build, and runs every test. Exit status 0 only when
# all pass.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/install-deps.sh"
jobs=$(nproc)
status=0
for arch in i686 x86_64; do
  build=$top/build/$arch
  cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$arch.cmake" >/dev/null
  cmake --build "$build" -j "$jobs"
  (cd "$build" && ctest --output-on-failure -j "$jobs" -LE benchmark) || status=1
done
# Native (GCC, as Debian builds its packages; the fuzz target alone with
# clang): the plain image code, its pixels checked and its fuzz target
# replayed over the kept inputs, and the X11 module where there is one.
build=$top/build/native
cmake -S "$top" -B "$build" -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ >/dev/null
cmake --build "$build" -j "$jobs"
# The .deb of the XScreenSaver module, beside its build.
(cd "$build" && cpack -G DEB >/dev/null) || status=1
(cd "$build" && ctest --output-on-failure -j "$jobs" -LE benchmark) || status=1
exit $status
