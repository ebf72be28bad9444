#!/usr/bin/env bash
# .ci/run in a scratch copy, tools/test.sh stubbed (it passes) and
# without_32bit stubbed: where the second pass runs, it fails (the copy has
# no built trees) and the run must end with 1; where there is nothing to
# hide (125) it must end with 0. Either way its last lines say so.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/ci-run-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/.ci" "$scratch/tools"
cp "$top/.ci/run" "$scratch/.ci/run"
echo 'mkdir -p build && echo "== summary" >build/summary.txt' >"$scratch/tools/test.sh"
echo 'without_32bit() { [ "$SECOND_PASS" = runs ] || return 125; "$@"; }' >"$scratch/tools/host.sh"
failed=0
# Runs the copy: SECOND_PASS, the status it must end with, its last line.
check() {
  SECOND_PASS=$1 bash "$scratch/.ci/run" >"$scratch/out" 2>&1
  local status=$? last
  last=$(tail -n 2 "$scratch/out" | tr '\n' ' ')
  echo "second pass $1: status $status, last lines: $last"
  [ "$status" = "$2" ] && [[ $last == *"$3"* ]] || { cat "$scratch/out"; echo "FAIL: want status $2 and \"$3\""; failed=1; }
}
check runs 1 "32-bit programs hidden: FAILED (status 1) ci: FAILED"
check hidden 0 "not run: 32-bit Wine does not start here, nothing to hide ci: passed"
exit $failed
