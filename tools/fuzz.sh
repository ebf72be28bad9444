#!/usr/bin/env bash
# Loads mutated BMP files under Wine for a number of minutes (bmp_fuzz) and
# keeps every file that failed in tests/image/regressions/, where the
# ordinary test run (image_regressions) loads them from then on.
#   tools/fuzz.sh [MINUTES [SEED]]   (default 10 minutes, seed from the clock)
# Needs a built x86_64 tree (cmake --build build/x86_64).
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-10}
seed=${2:-$(date +%s)}
build=$top/build/x86_64
failures=$build/fuzz-failures
rm -rf "$failures"
mkdir -p "$failures"

export SAVER_WINE=/usr/lib/wine/wine64 SAVER_WINE_TEMPLATE=$build/wine-template
[ -d "$SAVER_WINE_TEMPLATE" ] || "$top/tests/harness/make-template.sh" "$SAVER_WINE" "$SAVER_WINE_TEMPLATE" || exit 1
seconds=$(awk -v m="$minutes" 'BEGIN { print m * 60 }')
SAVER_TIMEOUT=$(awk -v s="$seconds" 'BEGIN { printf "%d", s + 120 }') \
  "$top/tests/harness/wine-run.sh" --desktop 1024x768 -- "$build/bin/bmp_fuzz.exe" "$seconds" "$seed" \
  "Z:$(echo "$failures" | tr / '\\')"
status=$?
kept=0
for file in "$failures"/*.bmp; do
  [ -e "$file" ] || continue
  cp "$file" "$top/tests/image/regressions/"
  kept=$((kept + 1))
done
echo "fuzz: exit $status, $kept file(s) kept in tests/image/regressions/"
exit $status
