#!/usr/bin/env bash
# Batch install/uninstall benchmark of Marlet.exe under Wine (see MarletBench.cpp).
# Uses the build tree's test environment (Xvfb, clean prefix, wineserver): do not run it
# while ctest runs. Usage: bench/marlet/run.sh [fonts = 500] [--list-file]   (after cmake --build --preset windows)
set -euo pipefail
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$source_dir/tests/harness/session.sh"
# The per-user fonts folder stays where it is (an elevated Marlet never follows the user's
# shell-folder settings): a list too long for the command line goes as an @ list file.
# The name reader prints "------------------<n>" for every font it reads alone: left out here.
"$WINE" "$build/bench/marlet_bench.exe" "$VORLA_BUILD_DIR\\Marlet.exe" "$VORLA_BUILD_DIR\\VorlaNode.dll" "${1:-500}" ${2:-} | grep -v -e "^------------------" -e " \[default\] "
