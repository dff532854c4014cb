#!/usr/bin/env bash
# Registers the ProgIDs of the office stand-in applications in HKCR of the run's prefix.
set -euo pipefail
reg_file="Z:$(printf '%s' "$SOURCE_DIR/tests/fixtures/office/progids.reg" | tr '/' '\\')"
"$WINE" reg import "$reg_file" </dev/null >/dev/null 2>&1 || { echo "office ProgIDs: reg import failed" >&2; exit 1; }
