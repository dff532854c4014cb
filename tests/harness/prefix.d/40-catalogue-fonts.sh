#!/usr/bin/env bash
# Writes the font catalogue's test fonts into C:\VorlaFixtures\catalogue and registers them
# under HKLM's Fonts key, where the system font collection of every later process finds them.
set -euo pipefail
"$WINE" "$BUILD_DIR/tests/bin/MakeCatalogueFonts.exe" </dev/null >/dev/null 2>&1 \
  || { echo "catalogue fonts: MakeCatalogueFonts failed" >&2; exit 1; }
