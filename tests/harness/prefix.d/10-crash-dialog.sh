#!/usr/bin/env bash
# A program of the run that crashes ends at once, with the debugger's backtrace on its standard
# output. Wine's default debugger (AeDebug: "winedbg --auto") otherwise shows a crash dialog on the
# run's display and holds the crashed process until someone closes the dialog: a crashed fixture
# looks alive and never comes up, a crashed test program runs into its ctest timeout.
set -euo pipefail
"$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 \
  || { echo "crash dialog: reg add failed" >&2; exit 1; }
