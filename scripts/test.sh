#!/usr/bin/env bash
# Builds everything and runs the whole suite under Wine.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh
cmake --preset windows
cmake --build --preset windows
ctest --preset windows
# The parsers of outside input, natively under libFuzzer: the seed corpus, then a minute each.
fuzz/run.sh 60
