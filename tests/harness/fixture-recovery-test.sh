#!/usr/bin/env bash
# The guard's recovery from a fixture that does not start, in the run's session: the test program
# (HarnessRecovery in vorla_tests.exe, tests/harness/FixtureRecoveryCase.cpp) starts the office
# stand-in so that its first start fails, once by withholding its ready file (a start that hangs) and
# once by crashing. The launcher must give up (a crash at once: no crash dialog holds the process),
# note it for the guard, and the test fail; the guard must restart the session once and run the
# program again, which then passes; the session it leaves has one desktop process.
# Usage: fixture-recovery-test.sh <build dir>
source "$(dirname "${BASH_SOURCE[0]}")/env.sh" "$1"
source "$(dirname "${BASH_SOURCE[0]}")/guard.sh"
out=$(mktemp)
err=$(mktemp)
marker=$WINE_STATE/first-start.$$
export GUARD_LOG=/dev/null  # the restarts made here are not faults of the run
trap 'rm -f "$out" "$err" "$marker"' EXIT
fail=0
# <how the first start fails> <what the launcher says>
for scenario in "hang|did not come up within 5 s" "crash|ended early with code"; do
  how=${scenario%%|*}
  says=${scenario#*|}
  rm -f "$marker"
  VORLA_FIRST_START=$how VORLA_FIRST_START_MARKER=$(winpath "$marker") \
    guarded_run "$WINE" "$VORLA_BUILD/tests/bin/vorla_tests.exe" --gtest_filter='HarnessRecovery.*' \
    </dev/null >"$out" 2>"$err"
  rc=$?
  echo "---- first start: $how"
  cat "$out" "$err"
  problem() { echo "fixture-recovery-test ($how): $1" >&2; fail=1; }
  [ "$rc" = 0 ] || problem "exit code $rc, not 0"
  [ "$(grep -c "a fixture did not start (.*WINWORD.EXE $says.*); restarting the Wine session" "$err")" = 1 ] \
    || problem "not one restart for the fixture"
  [ "$(grep -c "WINWORD.EXE $says" "$out")" = 1 ] || problem "the first run did not fail on the start"
  [ "$(grep -c '\[  PASSED  \] 1 test\.' "$out")" = 1 ] || problem "the second run did not pass"
  [ -f "$marker" ] || problem "the stand-in's first start did not fail"
  if ls "$WINE_STATE"/fault.* >/dev/null 2>&1; then problem "a fault note was left"; fi
done
counts=$(guard_explorers "")
[ "${counts% *}" = 1 ] || { echo "fixture-recovery-test: $counts explorer processes after the restarts" >&2; fail=1; }
echo "fixture-recovery-test: explorers after: $counts"
exit $fail
