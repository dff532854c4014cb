#!/usr/bin/env bash
# Runs CatalogueBench.exe under Wine in a prefix of its own (<build>/bench/catalogue/prefix), with the
# faces of Debian's fonts-noto-core, downloaded with `apt-get download` and unpacked with
# `dpkg-deb -x` into <build>/bench/catalogue (never installed system-wide: a system-wide font package
# would be seen by every Wine prefix through fontconfig).
# Usage: run-bench.sh <build dir>
set -euo pipefail
build=$(cd "$1" && pwd)
work=$build/bench/catalogue
export WINE=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver
export WINEPREFIX=$work/prefix WINEDEBUG=-all LANG=C.UTF-8
unset DISPLAY
mkdir -p "$work"
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }

cd "$work"
if ! ls fonts-noto-core_*.deb >/dev/null 2>&1; then
  echo "bench: downloading fonts-noto-core"
  apt-get download fonts-noto-core || { apt-get update -qq && apt-get download fonts-noto-core; }
fi
if [ ! -d noto/usr/share/fonts ]; then
  rm -rf noto
  dpkg-deb -x "$(ls fonts-noto-core_*.deb | head -n1)" noto
fi
fontdir=$(dirname "$(find "$work/noto" -name '*.ttf' | head -n1)")
echo "bench: $(find "$fontdir" -name '*.ttf' | wc -l) font files in $fontdir"

# A fresh prefix every run: the benchmark registers its fonts under HKLM.
"$WINESERVER" -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
"$WINE" wineboot -i </dev/null >/dev/null 2>&1
"$WINESERVER" -w
setsid "$WINESERVER" -p </dev/null >/dev/null 2>&1
trap '"$WINESERVER" -k 2>/dev/null || true' EXIT
WINEPATH=$(winpath "$build") "$WINE" "$build/CatalogueBench.exe" "$(winpath "$fontdir")" 'C:\VorlaBench' </dev/null
