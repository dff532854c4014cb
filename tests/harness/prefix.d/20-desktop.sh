#!/usr/bin/env bash
# Starts Wine's desktop process once for the whole run, with its standard handles on /dev/null.
# Otherwise the first test process that touches windows (a WM_FONTCHANGE broadcast, EnumWindows)
# starts it, and the desktop inherits that process's output pipe: `node --test` then waits for the
# pipe to close and never ends. The desktop lives as long as some user process does, so a sleeping
# one keeps it up until stop.sh ends the wineserver.
setsid "$WINE" cmd.exe /c "ping -n 999999 127.0.0.1" </dev/null >/dev/null 2>&1 &
for _ in $(seq 50); do
  "$WINE" rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 && break
  sleep 0.1
done
