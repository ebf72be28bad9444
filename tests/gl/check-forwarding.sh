#!/usr/bin/env bash
# Checks that forwarding a GL call through the entry table costs one
# indirect call and nothing more: in each named function's compiled body
# there is exactly one indirect call or jump, the table is read at the slot
# of the entry named, and there is no test, compare, conditional branch or
# other call.
# usage: check-forwarding.sh OBJDUMP OBJECT ENTRIES_INC ARCH FUNCTION=ENTRY...
set -euo pipefail
objdump=$1 object=$2 entries=$3 arch=$4
shift 4
case $arch in
  i686) first_slot=8 pointer=4 symbol_prefix=_ ;;
  x86_64) first_slot=16 pointer=8 symbol_prefix= ;;
  *) echo "unknown architecture $arch"; exit 2 ;;
esac

dump=$("$objdump" -dr --no-show-raw-insn "$object")
# Entry names in table order, one a line.
names=$(sed -n 's/^GL_ENTRY([^,]*, *\([A-Za-z0-9_]*\),.*/\1/p' "$entries")
[ "$(wc -l <<<"$names")" = 51 ] || { echo "expected 51 entries in $entries"; exit 2; }

status=0
for pair in "$@"; do
  function=${pair%%=*} entry=${pair#*=}
  index=$(grep -nx "$entry" <<<"$names" | cut -d: -f1)
  [ -n "$index" ] || { echo "$entry: not an entry"; status=1; continue; }
  offset=$(printf '0x%x' $((first_slot + (index - 1) * pointer)))
  body=$(awk -v head="<$symbol_prefix$function>:" \
    '$2 == head {on = 1; next} on && NF == 0 {exit} on' <<<"$dump")
  [ -n "$body" ] || { echo "$function: not found in $object"; status=1; continue; }
  echo "$function ($entry, slot offset $offset):"
  echo "$body"
  code=$(grep -v -E '^\s+[0-9a-f]+: (dir32|IMAGE_REL|R_)' <<<"$body" || true)

  indirect=$(grep -cE '\s(call|jmp)[lq]?\s+\*' <<<"$code" || true)
  if [ "$indirect" != 1 ]; then
    echo "FAIL $function: $indirect indirect calls or jumps, want 1"; status=1
  fi
  if grep -qE '\s(call|jmp)[lq]?\s+[^*[:space:]]' <<<"$code"; then
    echo "FAIL $function: a direct call or jump"; status=1
  fi
  conditional='j(n?[abceglopsz]|n?[abgl]e|p[eo]|[er]?cxz)|test[bwlq]?|cmp[a-z]*|loop[a-z]*'
  if grep -qE "\\s($conditional)\\s" <<<"$code"; then
    echo "FAIL $function: a test, compare or conditional branch"; status=1
  fi
  if ! grep -q 'glEntries' <<<"$body"; then
    echo "FAIL $function: the entry table is not read"; status=1
  fi
  grep -qE "[^0-9a-fx]$offset([^0-9a-f]|$)" <<<"$code" ||
    { echo "FAIL $function: slot offset $offset of $entry not used"; status=1; }
done
exit $status
