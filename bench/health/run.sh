#!/usr/bin/env bash
# Font health check benchmark under Wine (see HealthBench.cpp). Uses the build tree's test environment
# (Xvfb, clean prefix, wineserver): do not run it while ctest runs.
# Usage: bench/health/run.sh [entries = 1000 10000]   (after cmake --build --preset windows)
set -euo pipefail
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$source_dir/tests/harness/session.sh"
# The library's log lines go to standard output until initial() is called: left out here.
[ $# -gt 0 ] || set -- 1000 10000
"$WINE" "$build/bench/health_bench.exe" "$VORLA_BUILD_DIR\\VorlaNode.dll" "$@" | grep -v " \[default\] "
