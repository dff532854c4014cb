#!/usr/bin/env bash
# Builds everything and runs the whole suite under Wine.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh
cmake --preset windows
cmake --build --preset windows
status=0
ctest --preset windows || status=$?
# Wine faults that the harness's guard got past in this run (tests/harness/guard.sh), if any.
if [ -s build/windows/wine/guard.log ]; then
  echo "The Wine session was restarted after Wine lost its desktop process:"
  cat build/windows/wine/guard.log
fi
[ "$status" = 0 ] || exit "$status"
# The parsers of outside input, natively under libFuzzer: the seed corpus, then a minute each.
fuzz/run.sh 60
