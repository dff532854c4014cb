#!/usr/bin/env bash
# The guard's own test, in the run's session: a program that starts three more explorer
# processes looks to the guard like Wine's lost-desktop fault. The guard must stop it within
# seconds, restart the session, run it again, and after the second fault give up with 125;
# the session it leaves has one desktop process, and windows work in it.
# Usage: guard-test.sh <build dir>
source "$(dirname "${BASH_SOURCE[0]}")/env.sh" "$1"
source "$(dirname "${BASH_SOURCE[0]}")/guard.sh"
err=$(mktemp)
export GUARD_LOG=/dev/null  # the restarts made here are not faults of the run
trap 'rm -f "$err"' EXIT
start=$SECONDS
guarded_run sh -c '"$WINE" explorer.exe & "$WINE" explorer.exe & "$WINE" explorer.exe & exec sleep 120' \
  </dev/null >/dev/null 2>"$err"
rc=$?
took=$((SECONDS - start))
cat "$err"
fail=0
[ "$rc" = 125 ] || { echo "guard-test: exit code $rc, not 125" >&2; fail=1; }
[ "$(grep -c 'restarting the Wine session' "$err")" = 2 ] || { echo "guard-test: not two restarts" >&2; fail=1; }
[ "$took" -lt 100 ] || { echo "guard-test: the fault was seen only after $took s" >&2; fail=1; }
"$WINE" rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1
counts=$(guard_explorers "")
[ "${counts% *}" = 1 ] || { echo "guard-test: $counts explorer processes after the restart" >&2; fail=1; }
echo "guard-test: exit $rc after $took s; explorers after: $counts"
exit $fail
