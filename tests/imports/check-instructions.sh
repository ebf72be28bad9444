#!/usr/bin/env bash
# Fails when a 32-bit PE file holds an instruction that the Pentium, Pentium
# MMX, K5, K6 and 6x86 lack or that needs MMX or SSE: the conditional moves
# (cmov*, fcmov*), fcomi, fucomi and their popping forms, the long NOPs
# (0F 1F: nop with an operand, any prefixes before it), SSE3's fisttp, and any
# instruction on MMX or SSE registers or of those sets. Each one found is
# named with its address and, from the linker's map, the function and object
# it lies in.
# usage: check-instructions.sh OBJDUMP PE_FILE MAP_FILE
set -euo pipefail
objdump=$1 pe=$2 map=$3

# "address mnemonic operands" for every instruction in the code.
code=$("$objdump" -d --no-show-raw-insn "$pe" |
  awk -F'\t' '/^ *[0-9a-f]+:\t/ { sub(/^ */, "", $1); sub(/:$/, "", $1); print $1, $2 }')
[ -n "$code" ] || { echo "no code read from $pe"; exit 1; }

forbidden=$(awk '
  { op = $2; line = $0 }
  op ~ /^(cmov|fcmov)/ || op ~ /^f(u)?comip?$/ || op ~ /^fisttp/ ||
  line ~ / nop[wl]? +[^ ]/ ||
  line ~ /%(x|y)?mm[0-9]/ ||
  op ~ /^(emms|femms|ldmxcsr|stmxcsr|[slm]fence|prefetch|movnti|clflush|fxsave|fxrstor|maskmovq)/ \
    { print }' <<<"$code")

# The map lists each input section ("name address size object", the name on
# a line of its own when long) with the global symbols it defines ("address
# symbol"); where names an address by the section or symbol and the object.
where() {
  awk -v target="$1" '
    function num(h,  i, n) {
      h = tolower(h); sub(/^0x/, "", h); n = 0
      for (i = 1; i <= length(h); i++) n = n * 16 + index("0123456789abcdef", substr(h, i, 1)) - 1
      return n }
    function section(name, from, size, file) {
      if (inside) exit
      inside = num(from) <= at && at < num(from) + num(size)
      sub(/^\.text[$.]/, "", name)
      object = file; if (inside) best = name " (" object ")" }
    BEGIN { at = num(target) }
    /^ \.text[^ ]* +0x[0-9a-f]+ +0x[0-9a-f]+ / { section($1, $2, $3, $4); next }
    /^ \.text[^ ]*$/ { pending = $1; next }
    pending != "" && /^ +0x[0-9a-f]+ +0x[0-9a-f]+ / { section(pending, $1, $2, $3); pending = ""; next }
    { pending = "" }
    inside && /^ +0x[0-9a-f]+ +[^ ]+$/ && num($1) <= at {
      name = $2; sub(/^__Z/, "_Z", name); best = name " (" object ")" }
    END { print (best != "" ? best : "?") }' "$map"
}

# Names as the source spells them, where the toolchain can demangle (the
# 32-bit symbols' extra leading underscore is gone by then).
demangle=("${objdump%objdump}c++filt" -n)
command -v "${demangle[0]}" >/dev/null || demangle=(cat)

status=0
while read -r address op operands; do
  [ -n "$address" ] || continue
  echo "forbidden: $op $operands at 0x$address in $(where "$address" | sed 's/([^ ]*\/\([^/]*)\)$/(\1/' | "${demangle[@]}")"
  status=1
done <<<"$forbidden"
echo "$(wc -l <<<"$code") instructions checked in $pe"
exit $status
