#!/usr/bin/env bash
# Runs a Windows program of the test suite under the run's Wine prefix and display.
# Usage: wine-run.sh <build dir> <program.exe> [args...]
source "$(dirname "${BASH_SOURCE[0]}")/env.sh" "$1"
source "$(dirname "${BASH_SOURCE[0]}")/guard.sh"
shift
guarded_run "$WINE" "$@"
