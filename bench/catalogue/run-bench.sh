#!/usr/bin/env bash
# Runs CatalogueBench.exe under Wine in a prefix of its own (<build>/bench/catalogue/prefix), made
# afresh every run: the benchmark registers its generated fonts under HKLM.
# Usage: run-bench.sh <build dir> [faces...]   (default: about 1,000, 10,000 and 50,000 faces)
set -euo pipefail
build=$(cd "$1" && pwd)
shift
work=$build/bench/catalogue
export WINE=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver
export WINEPREFIX=$work/prefix WINEDEBUG=-all LANG=C.UTF-8
unset DISPLAY
mkdir -p "$work"
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }

"$WINESERVER" -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
"$WINE" wineboot -i </dev/null >/dev/null 2>&1
"$WINESERVER" -w
setsid "$WINESERVER" -p </dev/null >/dev/null 2>&1
trap '"$WINESERVER" -k 2>/dev/null || true' EXIT
WINEPATH=$(winpath "$build") "$WINE" "$build/CatalogueBench.exe" 'C:\VorlaBench' "$@" </dev/null
