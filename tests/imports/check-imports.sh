#!/usr/bin/env bash
# Fails when a PE file imports a DLL or function outside the allow-list, or
# when its subsystem version is above 4.0 (Windows 95 and NT 4 refuse it).
# usage: check-imports.sh OBJDUMP PE_FILE ALLOW_LIST
set -euo pipefail
objdump=$1 pe=$2 allow=$3
dump=$("$objdump" -p "$pe")

major=$(awk '/^MajorSubsystemVersion/ {print $2}' <<<"$dump")
minor=$(awk '/^MinorSubsystemVersion/ {print $2}' <<<"$dump")
status=0
if [ "$major.$minor" != "4.0" ]; then
  echo "subsystem version $major.$minor, want 4.0"
  status=1
fi

# "DLL Name: X" starts a DLL's block; its lines "hint number name" follow.
imports=$(awk '
  /DLL Name:/ { dll = tolower($3); next }
  dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll, $3; next }
  /^$/ { }' <<<"$dump")
[ -n "$imports" ] || { echo "no imports read from $pe"; exit 1; }

allowed=$(grep -v '^#' "$allow" | awk 'NF { print tolower($1), $2 }')
while read -r dll function; do
  if ! grep -qxF "$dll $function" <<<"$allowed"; then
    echo "not allowed: $dll $function"
    status=1
  fi
done <<<"$imports"
echo "$(wc -l <<<"$imports") imports checked in $pe"
exit $status
