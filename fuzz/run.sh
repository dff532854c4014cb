#!/usr/bin/env bash
# Builds the fuzz targets natively (clang-14, libFuzzer, ASan+UBSan) and runs each on
# the seed corpus, then for a bounded time. A crash, a failed property, a sanitizer
# report or an exceeded memory limit stops the script with a non-zero status.
# Usage: fuzz/run.sh [seconds per target, default 60] [target ...]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_text fuzz_name_table fuzz_marlet fuzz_scripts)

build=build/fuzz
cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build" -j2 >/dev/null

# The memory limit is for what the code under test holds. ASan keeps freed blocks in a
# quarantine (256 MB by default) that counts against the process's memory: a minute of
# fuzz_name_table reached 520 MB, 258 MB of it quarantine and 29 MB live. A 64 MB
# quarantine still catches a use after free of any recent block and leaves the limit
# about twice what a run needs (150-280 MB).
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0:quarantine_size_mb=64
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:suppressions=$PWD/fuzz/ubsan.supp
options=(-rss_limit_mb=512 -max_len=1048576 -timeout=30 -print_final_stats=1)

for target in "${targets[@]}"; do
  seeds=fuzz/corpus/${target#fuzz_}
  work=$build/corpus/${target#fuzz_}
  mkdir -p "$work" "$build/artifacts"
  echo "fuzz: $target on the seed corpus"
  "$build/$target" "${options[@]}" -runs=0 "$seeds"
  echo "fuzz: $target for ${seconds}s"
  "$build/$target" "${options[@]}" -max_total_time="$seconds" -artifact_prefix="$build/artifacts/$target-" \
    "$work" "$seeds" 2>&1 | grep -v '^#[0-9]*\s*\(NEW\|REDUCE\|pulse\)' || { echo "fuzz: $target failed"; exit 1; }
done
