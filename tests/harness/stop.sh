#!/usr/bin/env bash
# Stops everything start.sh started: the wineservers (and with them every Wine process) and Xvfb.
# Usage: stop.sh <build dir>
source "$(dirname "${BASH_SOURCE[0]}")/env.sh" "$1"
for prefix in "$WINEPREFIX" "$WINE_TEMPLATE"; do
  [ -d "$prefix" ] && WINEPREFIX=$prefix "$WINESERVER" -k 2>/dev/null
done
if [ -f "$WINE_STATE/xvfb.pid" ]; then
  pid=$(cat "$WINE_STATE/xvfb.pid")
  kill "$pid" 2>/dev/null
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$pid" 2>/dev/null
  rm -f "$WINE_STATE/xvfb.pid"
fi
rm -f "$WINE_STATE/display" "$WINE_STATE/display.num"
exit 0
