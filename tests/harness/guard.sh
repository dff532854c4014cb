# Sourced by wine-run.sh and node-run.sh (after env.sh): runs one test program under a watch
# for a Wine 8 fault, and gets the run past it.
#
# The fault: now and then (seen mostly while processes are started and killed in quick
# succession) a process of the run finds no desktop window although the run's explorer.exe
# /desktop is up, and starts another explorer, which dies or hangs; the next process does the
# same. The test in progress hangs until its ctest timeout, and within a minute or two there are
# thousands of explorer processes, the wineserver runs out of file descriptors and every later
# test fails at its start ("could not load kernel32.dll, status c000011f").
#
# The guard: while the program runs, it counts explorer processes four times a second. More
# than two live ones in this run's prefix, or two that started and died since the program began,
# is the fault; the guard then ends every process of the session, starts the session again
# (wineserver, wineboot, the session hooks of prefix.d) and runs the program once more. It says
# so on stderr and in the run's guard.log (build/windows/wine/). A second fault in the same test
# fails the test. The prefix on disk is kept: what the prefix hooks wrote stays, only what lives
# in the wineserver (loaded font resources, the desktop, running fixtures) starts afresh, as at
# the start of any test.
#
# The second fault it recovers from: a fixture (a stand-in program of the tests) that does not
# come up. A crashed fixture used to be held alive by Wine's crash dialog (prefix.d/10-crash-dialog.sh
# turns that off); one that hangs before it is ready, or ends before, fails the test that started
# it through no fault of the code under test. The launchers note such a start in the file named by
# VORLA_HARNESS_FAULT; a program that failed with a note there gets the same restart and second
# run as above.

# Prefix hooks that start processes of the session rather than write the prefix; a restart
# runs them again.
guard_session_hooks=(20-desktop.sh)

guard_in_prefix() {  # is process $1 one of this run's prefix?
  { tr '\0' '\n' <"/proc/$1/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"
}

guard_explorers() {  # prints "<live in this prefix> <dead since $1>" ($1: list of known dead pids)
  local live=0 dead=0 pid state
  for pid in $(pgrep -x explorer.exe); do
    state=$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null) || continue
    if [ "$state" = Z ]; then
      case " $1 " in *" $pid "*) ;; *) dead=$((dead + 1)) ;; esac
    elif guard_in_prefix "$pid"; then
      live=$((live + 1))
    fi
  done
  echo "$live $dead"
}

guard_dead_explorers() {
  local pid
  for pid in $(pgrep -x explorer.exe); do
    [ "$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null)" = Z ] && printf '%s ' "$pid"
  done
}

guard_restart_session() {
  timeout 20 "$WINESERVER" -k 2>/dev/null
  # A wineserver out of file descriptors may not answer: end what is left of the session by hand.
  local pid
  for pid in $(pgrep -f 'wine|\.exe'); do
    case $(cat "/proc/$pid/comm" 2>/dev/null) in bash | sh | dash | timeout | ctest | node) continue ;; esac
    guard_in_prefix "$pid" && kill -9 "$pid" 2>/dev/null
  done
  timeout 20 "$WINESERVER" -w 2>/dev/null
  # The session starts as start.sh starts it, in the run's own locale, whatever this test's is.
  LANG=C.UTF-8 setsid "$WINESERVER" -p </dev/null >/dev/null 2>&1
  LANG=C.UTF-8 "$WINE" wineboot </dev/null >/dev/null 2>&1
  local hook
  for hook in "${guard_session_hooks[@]}"; do
    LANG=C.UTF-8 BUILD_DIR=$VORLA_BUILD SOURCE_DIR=$VORLA_SOURCE bash "$VORLA_SOURCE/tests/harness/prefix.d/$hook"
  done
}

# guarded_run <command...>: the command's exit code; 125 after a second fault.
guarded_run() {
  local attempt rc pid known counts live dead fault reason
  for attempt in 1 2; do
    # Where the test's fixture launchers note a fixture that did not start (noteHarnessFault in
    # tests/support/TestSupport.h, harnessFault.js in frontend/test/support/).
    fault=$WINE_STATE/fault.$$.$attempt
    rm -f "$fault"
    VORLA_HARNESS_FAULT=$(winpath "$fault")
    export VORLA_HARNESS_FAULT
    reason=
    known=$(guard_dead_explorers)
    "$@" &
    pid=$!
    while kill -0 "$pid" 2>/dev/null; do
      sleep 0.25
      counts=$(guard_explorers "$known")
      live=${counts% *}
      dead=${counts#* }
      if [ "$live" -gt 2 ] || [ "$dead" -ge 2 ]; then
        reason="Wine lost the desktop process ($live explorer processes running, $dead dead)"
        kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        break
      fi
    done
    if [ -z "$reason" ]; then
      wait "$pid"
      rc=$?
      # A failed test whose fixture did not start is the session's fault, not the test's.
      if [ "$rc" = 0 ] || [ ! -s "$fault" ]; then
        rm -f "$fault"
        return $rc
      fi
      reason="a fixture did not start ($(head -n 3 "$fault" | tr '\r\n' '  ' | sed 's/ *$//'))"
    fi
    rm -f "$fault"
    echo "guard: $reason; restarting the Wine session" >&2
    echo "$(date +%T) $*: $reason; session restarted" >>"${GUARD_LOG:-$WINE_STATE/guard.log}"
    guard_restart_session
    [ "$attempt" = 1 ] && echo "guard: running the test again" >&2
  done
  echo "guard: the fault came again ($reason); the test is not judged" >&2
  return 125
}
