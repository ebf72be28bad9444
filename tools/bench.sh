#!/usr/bin/env bash
# Builds the saver and its benchmarks, runs them under Wine and prints one
# table: each figure beside the baseline measured in the same run, their
# ratio and the target. Absolute numbers depend on the machine's load; the
# ratios are what to compare. It measures the 32-bit build, the one users
# get, where this machine runs 32-bit Wine, and the 64-bit one elsewhere.
#   tools/bench.sh [SECONDS]    (seconds of frames per window run, default 10)
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-10}
source "$top/tools/host.sh"
arch=$(windows_arch)
loader=$(wine_loader "$arch")
other=x86_64
[ "$arch" = i686 ] || other=i686
build=$top/build/$arch
log=$build/bench-output
mkdir -p "$log"
echo "bench: measuring the $arch build ($build) under $loader"

cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$arch.cmake" >/dev/null || exit 1
cmake --build "$build" -j2 >/dev/null || exit 1
# The other build's program is built only for its size.
cmake -S "$top" -B "$top/build/$other" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$other.cmake" >/dev/null &&
  cmake --build "$top/build/$other" -j2 --target opengl_scr >/dev/null

export SAVER_WINE=$loader SAVER_WINE_TEMPLATE=$build/wine-template
[ -d "$SAVER_WINE_TEMPLATE" ] || "$top/tests/harness/make-template.sh" "$SAVER_WINE" "$SAVER_WINE_TEMPLATE" || exit 1
run=$top/tests/harness/wine-run.sh
bin=$build/bin
pictures=$build/pictures

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
# ctest's benchmarks: the scene against clear-and-swap, the scene's own code.
(cd "$build" && ctest -L benchmark -V) >"$log/ctest.txt" 2>&1
scene_ratio=$(sed -n 's/.*scene \/ clear: *\([0-9.]*\).*/\1/p' "$log/ctest.txt")
scene_us=$(sed -n 's/.*scene code alone.*: \([0-9.]*\) us per frame.*/\1/p' "$log/ctest.txt")
# part_ms NAME: milliseconds the part adds to a frame in the tight loop.
part_ms() { sed -n "s/.*+ $1  *[0-9.]*  *[0-9.]*  *\([-0-9.]*\)\$/\1/p" "$log/ctest.txt" | head -1; }

# The native module's frame against an empty GLX window, in one process.
native=$top/build/native
cmake -S "$top" -B "$native" -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ >/dev/null &&
  cmake --build "$native" -j2 >/dev/null &&
  (cd "$native" && ctest -L benchmark -V) >"$log/native.txt" 2>&1
read -r native_ms native_empty_ms native_cpu native_empty_cpu < <(sed -n \
  's/.*medians of .*: scene \([0-9.]*\) ms, empty window \([0-9.]*\) ms,.*a frame \([0-9.]*\) vs \([0-9.]*\).*/\1 \2 \3 \4/p' \
  "$log/native.txt")

# The loader against a plain copy of the same file.
SAVER_TIMEOUT=300 "$run" -- "$bin/bmp_benchmark.exe" >"$log/bmp.txt" 2>&1
read -r load_ms copy_ms < <(sed -n 's/.*medians: load \([0-9.]*\) ms, plain copy \([0-9.]*\) ms.*/\1 \2/p' "$log/bmp.txt")
touch_ms=$(tr -d '\r' <"$log/bmp.txt" | sed -n 's/^first write to every page.*: \([0-9.]*\) ms/\1/p')

# value KEY FILE: the number after KEY= on the file's result line.
value() { sed -n "s/^result .*\b$1=\([0-9.]*\).*/\1/p" "$2" | head -1; }
# median of the arguments
median() { echo "$@" | tr ' ' '\n' | grep . | sort -n | awk '{ v[NR] = $1 } END { if (NR) printf "%.0f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# mean of the arguments
mean() { echo "$@" | awk '{ s = 0; for (i = 1; i <= NF; i++) s += $i; if (NF) printf "%.1f", s / NF }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b == "" || b == 0) print "-"; else printf "%.3f", a / b }'; }
check() { awk -v x="$1" -v t="$2" "BEGIN { if (x == \"\" || x == \"-\") print \"?\"; else print (x $3 t) ? \"yes\" : \"NO\" }"; }

# The saver and the empty window, alternately, at each size: two rounds of
# SECONDS for the frame rate, then five of one second more for start-up
# (a process start under Wine varies by some 100 ms; medians of seven).
declare -A fps cpu startup ws ddraw pictures_at paint_at
for size in 1024 640; do
  if [ $size = 1024 ]; then saver_args="desktop"; empty_args="1024 768"; else saver_args="640"; empty_args="640 480"; fi
  for round in 1 2 3 4 5 6 7; do
    [ $round -le 2 ] && length=$seconds || length=1
    for kind in empty saver; do
      out=$log/$kind-$size-$round.txt
      if [ $kind = saver ]; then
        args=(saver $saver_args "$length" 0 self)
      else
        args=(empty $empty_args "$length")
      fi
      SAVER_TIMEOUT=$((length + 90)) "$run" --desktop 1024x768 --pictures "$pictures" -- \
        "$bin/window_bench.exe" "${args[@]}" >"$out" 2>&1
      if [ $round -le 2 ]; then
        fps[$kind$size]="${fps[$kind$size]:-} $(value fps "$out")"
        cpu[$kind$size]="${cpu[$kind$size]:-} $(value cpu_us_per_frame "$out")"
        ws[$kind$size]="${ws[$kind$size]:-} $(value peak_ws_kib "$out")"
      fi
      startup[$kind$size]="${startup[$kind$size]:-} $(value startup_ms "$out")"
      ddraw[$kind$size]="${ddraw[$kind$size]:-} $(value ddraw_create_ms "$out")"
      pictures_at[$kind$size]="${pictures_at[$kind$size]:-} $(value pictures_ms "$out")"
      paint_at[$kind$size]="${paint_at[$kind$size]:-} $(value paint_ms "$out")"
    done
  done
done

# Two monitors side by side (800 x 600 and 1024 x 768): the saver drawing a
# whole scene on each monitor against one scene spanning both, as a system
# without the monitor functions draws it; in turns, SECONDS each.
declare -A heads
for round in 1 2 3; do
  for kind in desktop spanning; do
    out=$log/two-heads-$kind-$round.txt
    SAVER_TIMEOUT=$((seconds + 90)) "$run" --xorg-two-heads right --pictures "$pictures" -- \
      "$bin/window_bench.exe" saver $kind "$seconds" 0 self >"$out" 2>&1
    heads[$kind]="${heads[$kind]:-} $(value fps "$out")"
  done
done

size32=$(stat -c %s "$top/build/i686/bin/opengl.scr" 2>/dev/null)
size64=$(stat -c %s "$top/build/x86_64/bin/opengl.scr" 2>/dev/null)

row() { printf '| %-56s | %12s | %12s | %7s | %-18s | %-4s |\n' "$@"; }
echo
echo "measured: the $arch build; load average before and after: $load_before / $(cut -d' ' -f1-3 /proc/loadavg)"
row "measure" "saver" "baseline" "ratio" "target" "met"
row "--------------------------------------------------------" "------------" "------------" "-------" "------------------" "----"
for size in 1024 640; do
  [ $size = 1024 ] && name="1024 x 768" || name="640 x 480"
  s=$(mean ${fps[saver$size]}) e=$(mean ${fps[empty$size]}) r=$(ratio "$s" "$e")
  row "frames/s full screen $name (vs empty window)" "$s" "$e" "$r" ">= 0.95" "$(check "$r" 0.95 '>=')"
  s=$(mean ${cpu[saver$size]}) e=$(mean ${cpu[empty$size]})
  row "process CPU us/frame $name" "$s" "$e" "$(ratio "$s" "$e")" "(reported)" ""
done
for size in 1024 640; do
  [ $size = 1024 ] && name="1024x768 desktop" || name="640x480 switched"
  s=$(median ${startup[saver$size]}) e=$(median ${startup[empty$size]})
  d=$(awk -v a="$s" -v b="$e" 'BEGIN { printf "%+.0f ms", a - b }')
  row "start-up to first frame $name, ms (vs empty)" "$s" "$e" "$d" "<= +150 ms" "$(check "${d% ms}" 150 '<=')"
done
s=$(median ${ddraw[saver640]}) e=$(median ${ddraw[empty640]})
row "  of it DirectDrawCreate (640x480), ms" "$s" "$e" "" "(reported)" ""
s=$(median ${paint_at[saver1024]}) p=$(median ${pictures_at[saver1024]}) e=$(median ${paint_at[empty1024]})
row "  first paint begins (1024x768), ms" "$s" "$e" "" "(reported)" ""
row "  saver: first picture opened (1024x768), ms" "$p" "" "" "(reported)" ""
s=$(mean ${heads[desktop]}) e=$(mean ${heads[spanning]}) r=$(ratio "$s" "$e")
row "frames/s two heads, a scene a monitor (vs one spanning)" "$s" "$e" "$r" ">= 0.95" "$(check "$r" 0.95 '>=')"
row "frames/s DrawSceneFrame+swap 1024x768 (vs clear+swap)" "" "" "$scene_ratio" "(reported)" ""
for part in model "far stars" "near stars" cloud; do
  row "ms a frame's $part adds, 1024x768 tight loop" "$(part_ms "$part")" "" "" "(reported)" ""
done
row "scene code us/frame, GL doing nothing" "$scene_us" "" "" "< 20 us" "$(check "$scene_us" 20 '<')"
row "load 4096x4096 24-bit BMP, ms (vs plain copy)" "$load_ms" "$copy_ms" "$(ratio "$copy_ms" "$load_ms")" ">= 0.5 speed" "$(check "$(ratio "$copy_ms" "$load_ms")" 0.5 '>=')"
row "first write to a fresh 48 MiB block, ms" "$touch_ms" "" "" "(reported)" ""
row "stripped opengl.scr, 32-bit, KiB" "$(ratio "$size32" 1024)" "100" "$(ratio "$size32" 102400)" "<= 100 KiB" "$(check "$size32" 102400 '<=')"
row "stripped opengl.scr, 64-bit, KiB" "$(ratio "$size64" 1024)" "" "" "(reported)" ""
s=$(mean ${ws[saver1024]}) e=$(mean ${ws[empty1024]})
row "peak working set 1024x768, KiB (vs empty)" "$s" "$e" "$(ratio "$s" "$e")" "(reported)" ""
row "native: ms a frame 1024x768, tight loop (vs empty GLX)" "$native_ms" "$native_empty_ms" "$(ratio "$native_ms" "$native_empty_ms")" "(reported)" ""
row "native: process CPU ms a frame 1024x768 (vs empty GLX)" "$native_cpu" "$native_empty_cpu" "$(ratio "$native_cpu" "$native_empty_cpu")" "(reported)" ""
echo
echo "logs: $log"

# The saver's processor time while drawing and while the display is off (it
# is told so the way Windows tells it), in every build this machine runs:
# ticks a second of its Linux process, all threads; 100 a second are one
# core kept busy. The measured build's figure came with ctest's benchmarks.
echo
echo "processor time of the running saver, 1024 x 768, ticks a second (100 = one core):"
row "measure" "drawing" "display off" "ratio" "target" "met"
row "--------------------------------------------------------" "------------" "------------" "-------" "------------------" "----"
for power_arch in i686 x86_64; do
  if ! wine_starts "$(wine_loader "$power_arch")"; then
    row "$power_arch: not measured ($(wine_loader "$power_arch") cannot run here)" "" "" "" "" ""
    continue
  fi
  power_log=$log/ctest.txt
  if [ "$power_arch" != "$arch" ]; then
    power_build=$top/build/$power_arch
    power_log=$log/display-power-$power_arch.txt
    cmake -S "$top" -B "$power_build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$power_arch.cmake" >/dev/null &&
      cmake --build "$power_build" -j2 >/dev/null &&
      (cd "$power_build" && ctest -R '^bench_display_power$' -V) >"$power_log" 2>&1
  fi
  read -r drawing off < <(sed -n \
    's/.*result drawing_ticks_per_s=\([0-9.]*\) off_ticks_per_s=\([0-9.]*\).*/\1 \2/p' "$power_log")
  r=$(ratio "${off:-}" "${drawing:-}")
  row "$power_arch: processor ticks/s, drawing vs display off" "${drawing:-}" "${off:-}" "$r" "<= 0.05" "$(check "$r" 0.05 '<=')"
done
