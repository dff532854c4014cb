# Sourced by a script that runs programs in the build tree's test environment (a benchmark), after it
# set source_dir: starts the environment (Xvfb, clean prefix, wineserver) for the script's length and
# stops it on exit. Do not use it while ctest runs in the same build tree.
build=$source_dir/build/windows
harness=$source_dir/tests/harness
"$harness/start.sh" "$build" "$source_dir" >/dev/null
trap '"$harness/stop.sh" "$build" >/dev/null' EXIT
source "$harness/env.sh" "$build"
