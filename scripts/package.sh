#!/usr/bin/env bash
# Stages and packs the bridge as the npm package "vorla", after the Windows build: vorla.js, marlet.js,
# its progress worker marlet-progress.js, watch.js, win32.js and the declarations, the package's own binaries.js (which names bin/), VorlaNode.dll and
# Marlet.exe in bin/, the package README, and package.json from frontend/package/ with koffi pinned as
# the bridge pins it (frontend/package.json). Prints the path of the .tgz as its last line.
# Usage: scripts/package.sh [build dir = build/windows]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/windows}
for binary in VorlaNode.dll Marlet.exe; do
  if [ ! -f "$build/$binary" ]; then
    echo "package: $build/$binary is missing: build first (cmake --preset windows && cmake --build --preset windows)" >&2
    exit 1
  fi
done
build=$(cd "$build" && pwd)
out=$build/package
stage=$out/vorla
rm -rf "$stage" "$out"/vorla-*.tgz
mkdir -p "$stage/bin"

cp "$root"/frontend/{vorla.js,vorla.d.ts,marlet.js,marlet-progress.js,marlet.d.ts,watch.js,win32.js} "$stage/"
cp "$root"/frontend/package/{binaries.js,README.md} "$stage/"
cp "$build/VorlaNode.dll" "$build/Marlet.exe" "$stage/bin/"
node -e '
  const fs = require("node:fs");
  const [template, bridge, target] = process.argv.slice(1);
  const pkg = JSON.parse(fs.readFileSync(template, "utf8"));
  const koffi = JSON.parse(fs.readFileSync(bridge, "utf8")).dependencies.koffi;
  if (!/^\d+\.\d+\.\d+$/.test(koffi)) throw new Error(`koffi is not pinned in ${bridge}: ${koffi}`);
  pkg.dependencies = { koffi };
  fs.writeFileSync(target, JSON.stringify(pkg, null, 2) + "\n");
' "$root/frontend/package/package.json" "$root/frontend/package.json" "$stage/package.json"

tgz=$(npm pack "$stage" --pack-destination "$out" --json --loglevel=error \
  | node -e 'let s = ""; process.stdin.on("data", (d) => (s += d)).on("end", () => console.log(JSON.parse(s)[0].filename))')
echo "$out/$tgz"
