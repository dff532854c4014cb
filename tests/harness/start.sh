#!/usr/bin/env bash
# Starts the environment of one test run: one Xvfb display, a clean Wine prefix copied from a warmed
# template, and one persistent wineserver. stop.sh ends all of it.
# Usage: start.sh <build dir> <source dir>
set -euo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
"$here/stop.sh" "$1" || true          # leftovers of an interrupted run
source "$here/env.sh" "$1"
mkdir -p "$WINE_STATE"
rm -f "$WINE_STATE/display" "$WINE_STATE/guard.log"

# One display for every process of the run.
setsid Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$WINE_STATE/display.num" \
  </dev/null >"$WINE_STATE/xvfb.log" 2>&1 &
echo $! >"$WINE_STATE/xvfb.pid"
for _ in $(seq 100); do [ -s "$WINE_STATE/display.num" ] && break; sleep 0.1; done
[ -s "$WINE_STATE/display.num" ] || { echo "start: Xvfb did not start" >&2; cat "$WINE_STATE/xvfb.log" >&2; exit 1; }
echo ":$(head -n1 "$WINE_STATE/display.num")" >"$WINE_STATE/display"
export DISPLAY=$(cat "$WINE_STATE/display")
echo "start: display $DISPLAY"

# The template prefix: Windows 10, COM warmed. Made once per build tree.
if [ ! -f "$WINE_TEMPLATE/.warm" ]; then
  echo "start: making the template prefix (about a minute, once per build tree)"
  rm -rf "$WINE_TEMPLATE"
  WINEPREFIX=$WINE_TEMPLATE "$WINE" wineboot -i </dev/null >"$WINE_STATE/template.log" 2>&1
  WINEPREFIX=$WINE_TEMPLATE "$WINE" reg add 'HKCU\Software\Wine' /v Version /d win10 /f </dev/null >>"$WINE_STATE/template.log" 2>&1
  warmed=no
  for attempt in 1 2 3 4 5 6 7 8 9 10; do
    if WINEPREFIX=$WINE_TEMPLATE timeout 120 "$WINE" "$VORLA_BUILD/tests/bin/prefix_warm.exe" \
         </dev/null >>"$WINE_STATE/template.log" 2>&1; then warmed=yes; break; fi
    echo "start: COM registration attempt $attempt failed at $(date +%T), retrying"; sleep 2
  done
  [ "$warmed" = yes ] || { echo "start: warming COM failed" >&2; cat "$WINE_STATE/template.log" >&2; exit 1; }
  WINEPREFIX=$WINE_TEMPLATE "$WINESERVER" -w
  touch "$WINE_TEMPLATE/.warm"
fi

# A clean prefix for this run: nothing of an earlier run can make a test pass or fail.
rm -rf "$WINEPREFIX"
cp -a "$WINE_TEMPLATE" "$WINEPREFIX"
rm -f "$WINEPREFIX/.warm"
setsid "$WINESERVER" -p </dev/null >/dev/null 2>&1
"$WINE" wineboot </dev/null >/dev/null 2>&1

# Project hooks that prepare the prefix (registrations, stand-in programs).
export BUILD_DIR=$VORLA_BUILD SOURCE_DIR=$VORLA_SOURCE
for hook in "$VORLA_SOURCE"/tests/harness/prefix.d/*.sh; do
  [ -e "$hook" ] || continue
  echo "start: $(basename "$hook")"
  bash "$hook"
done
echo "start: ready ($WINEPREFIX)"
