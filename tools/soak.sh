#!/usr/bin/env bash
# Runs the saver full screen under Wine for a number of minutes, sampling
# every interval: frames drawn, working set, GDI objects, handles, mapped
# views and windows (counted inside the process by window_bench, which runs
# the saver from the product's libraries and counts frames at the buffer
# swap), and the Wine process's resident size and open file descriptors
# (from /proc). Then a key must close it with exit code 0. Fails when any
# count grows after the first sample, the frames stop, or it does not close.
# It runs the 32-bit build, the one users get, where this machine runs 32-bit
# Wine, and the 64-bit one elsewhere.
#   tools/soak.sh [MINUTES [INTERVAL_SECONDS]]   (default 30 minutes, 60 s)
# Needs that build's tree (cmake --build build/i686, or build/x86_64).
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-30}
interval=${2:-60}
source "$top/tools/host.sh"
arch=$(windows_arch)
loader=$(wine_loader "$arch")
build=$top/build/$arch

if [ -z "${SAVER_RUN_DIR:-}" ]; then
  echo "soak: running the $arch build ($build) under $loader"
  export SAVER_WINE=$loader SAVER_WINE_TEMPLATE=$build/wine-template
  [ -d "$SAVER_WINE_TEMPLATE" ] || "$top/tests/harness/make-template.sh" "$SAVER_WINE" "$SAVER_WINE_TEMPLATE" || exit 1
  SAVER_TIMEOUT=$((minutes * 60 + 120)) exec "$top/tests/harness/wine-run.sh" --host --desktop 1024x768 \
    --pictures "$build/pictures" -- "$top/tools/soak.sh" "$minutes" "$interval"
fi

# Inside the harness: the prefix and display are ours.
out=$SAVER_RUN_DIR/soak.txt
"$SAVER_WINE" "$build/bin/window_bench.exe" saver desktop $((minutes * 60)) "$interval" key >"$out" 2>&1 &
pid=$!
host=$SAVER_RUN_DIR/host.txt
: >"$host"
until grep -q "waiting for a key" "$out"; do
  kill -0 $pid 2>/dev/null || break
  sleep "$interval"
  rss=$(sed -n 's/^VmRSS:[[:space:]]*\([0-9]*\).*/\1/p' /proc/$pid/status 2>/dev/null)
  fds=$(ls /proc/$pid/fd 2>/dev/null | wc -l)
  echo "rss_kib=$rss fds=$fds" >>"$host"
done
sleep 1
xdotool key space
for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
wait $pid
status=$?

echo "soak of the $arch build"
paste -d' ' <(grep '^sample' "$out") "$host"
grep -E '^(result|exit)' "$out"
/usr/bin/python3 - "$out" "$host" "$status" <<'PY'
import re, sys
samples = [dict(re.findall(r'(\w+)=(-?\d+)', l)) for l in open(sys.argv[1]) if l.startswith('sample')]
host = [dict(re.findall(r'(\w+)=(-?\d+)', l)) for l in open(sys.argv[2]) if 'rss_kib=' in l]
status = int(sys.argv[3])
faults = []
if len(samples) < 2:
    faults.append('fewer than two samples')
else:
    first = samples[0]
    for s in samples[1:]:
        for key in ('gdi', 'handles', 'views', 'windows'):
            if int(s[key]) > int(first[key]):
                faults.append(f"{key} grew from {first[key]} to {s[key]} at {s['t']} s")
        if int(s['ws_kib']) > int(first['ws_kib']) + 1024:
            faults.append(f"working set grew from {first['ws_kib']} to {s['ws_kib']} KiB at {s['t']} s")
    steps = [int(b['frames']) - int(a['frames']) for a, b in zip(samples, samples[1:])]
    print('frames per interval: min %d, max %d' % (min(steps), max(steps)))
    if min(steps) <= 0:
        faults.append('frames stopped')
rss = [int(h['rss_kib']) for h in host if h.get('rss_kib')]
if len(rss) >= 2:
    print('wine process resident size: first %d KiB, after the first %d, last %d KiB' % (rss[0], rss[1], rss[-1]))
    if max(rss[2:] or rss[1:]) > rss[1] + 1024:
        faults.append('resident size grew after the first interval: %s' % rss)
if status != 0:
    faults.append(f'exit code {status} after the key')
for f in faults:
    print('FAULT:', f)
print('soak', 'failed' if faults else 'passed')
sys.exit(1 if faults else 0)
PY
