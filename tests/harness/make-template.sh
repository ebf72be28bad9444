#!/usr/bin/env bash
# Builds the Wine prefix that every test run copies: one wineboot per build
# folder, kept while the Wine version stays the same.
# usage: make-template.sh WINE_LOADER TEMPLATE_DIR
set -euo pipefail
wine=$1
template=$2
version=$("$wine" --version)
if [ -f "$template/.saver-template" ] && [ "$(cat "$template/.saver-template")" = "$version" ]; then
  exit 0
fi
rm -rf "$template" "$template.new"
mkdir -p "$(dirname "$template")"
export WINEPREFIX=$template.new WINEDEBUG=-all WINELOADER=$wine
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
"$wine" wineboot -i >/dev/null 2>&1
wineserver -w
# Crashes under test end the program instead of opening a debugger dialog.
cat >> "$WINEPREFIX/user.reg" <<'REG'

[Software\\Wine\\WineDbg] 1700000000
"ShowCrashDialog"=dword:00000000
REG
echo "$version" > "$WINEPREFIX/.saver-template"
mv "$WINEPREFIX" "$template"
