#!/usr/bin/env bash
# Every C++ source of the tree is as .clang-format lays it out; lists the files that are not.
# Usage: check-format.sh <source dir>
set -euo pipefail
cd "$1"
mapfile -t files < <(git ls-files '*.cpp' '*.h')
unformatted=()
for f in "${files[@]}"; do
  clang-format-14 --dry-run --Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
done
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "not formatted (run: clang-format-14 -i <file>):"
  printf '  %s\n' "${unformatted[@]}"
  exit 1
fi
echo "${#files[@]} files formatted"
