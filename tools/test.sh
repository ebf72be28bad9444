#!/usr/bin/env bash
# Installs what the build needs (when missing), builds the saver for both
# targets and the native build, and runs every test. Exit status 0 only when
# all pass. Ends with a summary (also kept in build/summary.txt): each tree's
# tests, and whether the shipped 32-bit saver ran under 32-bit Wine or was
# checked statically only, and why.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/tools/host.sh"
mkdir -p "$top/build"
rm -f "$top/build/summary.txt"
"$top/tools/install-deps.sh" 2>&1 | tee "$top/build/install-deps.log" || exit
jobs=$(nproc)
status=0
summary=()
declare -A ran

# Runs a built tree's tests, its output also in the tree's ctest.log, and
# adds its line to the summary: the tests run and passed.
run_tests() {
  local tree=$1 build=$top/build/$1 result counts
  (cd "$build" && ctest --output-on-failure -j "$jobs" -LE benchmark) 2>&1 | tee "$build/ctest.log"
  result=${PIPESTATUS[0]}
  [ "$result" = 0 ] || status=1
  # "N% tests passed, F tests failed out of T"
  counts=$(sed -n 's/.* tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\).*/\1 \2/p' "$build/ctest.log")
  read -r failed total <<<"${counts:-0 0}"
  ran[$tree]=$total
  summary+=("$tree: $total tests run, $((total - failed)) passed$([ "$result" = 0 ] || echo ", FAILED")")
}

for arch in i686 x86_64; do
  build=$top/build/$arch
  if cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$arch.cmake" >/dev/null &&
     cmake --build "$build" -j "$jobs"; then
    run_tests "$arch"
  else
    summary+=("$arch: the build FAILED; no tests run")
    status=1
  fi
done
# Native (GCC, as Debian builds its packages; the fuzz target alone with
# clang): the plain image code, its pixels checked and its fuzz target
# replayed over the kept inputs, and the X11 module where there is one.
build=$top/build/native
if cmake -S "$top" -B "$build" -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ >/dev/null &&
   cmake --build "$build" -j "$jobs"; then
  # The .deb of the XScreenSaver module, beside its build.
  (cd "$build" && cpack -G DEB >/dev/null) || { status=1; summary+=("native: the .deb could not be made"); }
  run_tests native
else
  summary+=("native: the build FAILED; no tests run")
  status=1
fi

# The shipped 32-bit saver: run where 32-bit Wine starts, else why not.
if wine_starts "$wine32_loader"; then
  summary+=("shipped 32-bit saver: run under 32-bit Wine: ${ran[i686]:-0} tests")
else
  reason=$(wine32_missing_reason)
  [ "$reason" = "32-bit programs do not run here" ] ||
    reason=$(sed -n 's/^install-deps: \(32-bit Wine could not be installed: .*\)/\1/p' \
               "$top/build/install-deps.log" | grep . || echo "$reason")
  summary+=("shipped 32-bit saver: checked statically only: $reason")
fi
printf '%s\n' "== summary" "${summary[@]}" | tee "$top/build/summary.txt"
exit $status
