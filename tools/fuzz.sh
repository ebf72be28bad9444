#!/usr/bin/env bash
# Fuzzes the BMP reader and keeps every input that failed in
# tests/image/regressions/, where the ordinary test runs load it from then on.
#   tools/fuzz.sh [MINUTES]             the native libFuzzer target with
#                                       AddressSanitizer and UndefinedBehavior-
#                                       Sanitizer (default 10 minutes; needs a
#                                       built build/native, or BMP_FUZZER)
#   tools/fuzz.sh --wine [MINUTES [SEED]]
#                                       mutated files loaded under Wine
#                                       (bmp_fuzz.exe): the shipped 32-bit
#                                       build where 32-bit Wine runs, else the
#                                       64-bit one
#   tools/fuzz.sh --replay              runs the native fuzz target once over
#                                       every file of the seed corpus and of
#                                       the regressions, without mutating them
#                                       (the ordinary test run does this)
#   tools/fuzz.sh --seeds               collects every file the Windows image
#                                       tests write (the same build) and merges
#                                       them into the seed corpus
#                                       tests/image/corpus/
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/tools/host.sh"
regressions=$top/tests/image/regressions
corpus=$top/tests/image/corpus

# Copies the failing inputs in a folder to the regressions folder.
keep_failures() {
  local kept=0 file name
  for file in "$1"/*; do
    [ -f "$file" ] || continue
    name=$(basename "$file")
    mkdir -p "$regressions"
    cp "$file" "$regressions/${name%.bmp}.bmp"
    kept=$((kept + 1))
  done
  echo "$kept"
}

# The native run: the seeds, the kept failures, and the corpus that earlier
# runs grew in the build folder.
native_run() {
  local minutes=$1 build=$top/build/native
  local fuzzer=${BMP_FUZZER:-$build/tests/image/bmp_parse_fuzz}
  [ -x "$fuzzer" ] || { echo "fuzz: no fuzzer at $fuzzer (build build/native first)" >&2; return 1; }
  build=$(dirname "$fuzzer")
  local grown=$build/fuzz-corpus failures=$build/fuzz-failures log=$build/fuzz.log
  rm -rf "$failures"
  mkdir -p "$grown" "$failures"
  local seconds
  seconds=$(awk -v m="$minutes" 'BEGIN { printf "%d", m * 60 }')
  local seeds=()
  [ -d "$corpus" ] && seeds+=("$corpus")
  [ -d "$regressions" ] && seeds+=("$regressions")
  "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix="$failures/" "$grown" "${seeds[@]}" >"$log" 2>&1
  local status=$?
  local executions coverage features
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
  features=$(grep -o 'ft: [0-9]*' "$log" | tail -1)
  local kept
  kept=$(keep_failures "$failures")
  [ "$status" = 0 ] || grep -E 'ERROR|runtime error|SUMMARY|Test unit written' "$log" | head -20
  echo "fuzz: native (clang, address + undefined sanitizers), ${seconds} s:" \
       "${executions:-0} executions, ${coverage:-cov: ?} edges, ${features:-ft: ?} features," \
       "corpus $(ls "$grown" | wc -l) files; exit $status, $kept failing input(s) kept in tests/image/regressions/ (log: $log)"
  return $status
}

# The seed corpus and the kept failures, each run once through the native
# target: the same inputs every time, and nothing written beside them.
replay() {
  local fuzzer=${BMP_FUZZER:-$top/build/native/tests/image/bmp_parse_fuzz}
  [ -x "$fuzzer" ] || { echo "fuzz: no fuzzer at $fuzzer (build build/native first)" >&2; return 1; }
  local build files=()
  build=$(dirname "$fuzzer")
  mkdir -p "$build/replay-failures"
  for file in "$corpus"/* "$regressions"/*; do [ -f "$file" ] && files+=("$file"); done
  [ ${#files[@]} -gt 0 ] || { echo "fuzz: no seed or regression files" >&2; return 1; }
  # Given files rather than folders, libFuzzer runs each once and adds
  # nothing to any folder.
  "$fuzzer" -runs=0 -timeout=20 -rss_limit_mb=2048 -artifact_prefix="$build/replay-failures/" \
    "${files[@]}" >"$build/replay.log" 2>&1
  local status=$?
  [ "$status" = 0 ] || grep -E 'ERROR|runtime error|SUMMARY|Running:' "$build/replay.log" | tail -20
  echo "fuzz: replayed ${#files[@]} seed and regression files, exit $status (log: $build/replay.log)"
  return $status
}

# The Windows build to run under Wine: the shipped 32-bit one where 32-bit
# Wine runs and it is built, else the 64-bit one.
pick_wine_build() {
  arch=$(windows_arch)
  [ -f "$top/build/$arch/bin/bmp_fuzz.exe" ] || arch=x86_64
  wine=$(wine_loader "$arch")
}

# The Wine run of bmp_fuzz.exe.
wine_run() {
  local minutes=$1 seed=$2 arch wine
  pick_wine_build
  local build=$top/build/$arch
  [ -f "$build/bin/bmp_fuzz.exe" ] || { echo "fuzz: no $build/bin/bmp_fuzz.exe (build it first)" >&2; return 1; }
  echo "fuzz: measuring the $arch build under $wine"
  local failures=$build/fuzz-failures
  rm -rf "$failures"
  mkdir -p "$failures"
  export SAVER_WINE=$wine SAVER_WINE_TEMPLATE=$build/wine-template
  [ -d "$SAVER_WINE_TEMPLATE" ] || "$top/tests/harness/make-template.sh" "$SAVER_WINE" "$SAVER_WINE_TEMPLATE" || return 1
  local seconds
  seconds=$(awk -v m="$minutes" 'BEGIN { print m * 60 }')
  SAVER_TIMEOUT=$(awk -v s="$seconds" 'BEGIN { printf "%d", s + 120 }') \
    "$top/tests/harness/wine-run.sh" --desktop 1024x768 -- "$build/bin/bmp_fuzz.exe" "$seconds" "$seed" \
    "Z:$(echo "$failures" | tr / '\\')"
  local status=$?
  echo "fuzz: $arch build under Wine, exit $status, $(keep_failures "$failures") file(s) kept in tests/image/regressions/"
  return $status
}

# Runs the Windows image tests with every file they write kept, then keeps
# the files that add coverage in the seed corpus.
collect_seeds() {
  local arch wine
  pick_wine_build
  local build=$top/build/$arch fuzzer=${BMP_FUZZER:-$top/build/native/tests/image/bmp_parse_fuzz}
  local collected=$build/seed-files
  rm -rf "$collected"
  mkdir -p "$collected" "$corpus"
  (cd "$build" && BMP_SEED_FOLDER=$collected ctest -R 'image_(loader|bad_files|truncated_files)' >/dev/null) ||
    echo "fuzz: some image tests failed in build/$arch; their files are kept all the same" >&2
  [ -n "$(ls "$collected")" ] || { echo "fuzz: the tests wrote no files" >&2; return 1; }
  "$fuzzer" -merge=1 "$corpus" "$collected" >"$build/seed-merge.log" 2>&1 || { tail "$build/seed-merge.log"; return 1; }
  echo "fuzz: $(ls "$collected" | wc -l) files written by the tests, $(ls "$corpus" | wc -l) kept in tests/image/corpus/"
}

case ${1:-} in
  --wine) wine_run "${2:-10}" "${3:-$(date +%s)}" ;;
  --seeds) collect_seeds ;;
  --replay) replay ;;
  *) native_run "${1:-10}" ;;
esac
