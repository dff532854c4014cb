#!/usr/bin/env bash
# The DLL exports exactly the functions declared in VorlaNode.h, by their plain names.
# Usage: check-exports.sh <VorlaNode.dll> <VorlaNode.h>
set -euo pipefail
declared=$(sed -n 's/^VORLANODE_API[^(]*[ *]\([A-Za-z_][A-Za-z0-9_]*\)(.*/\1/p' "$2" | sort)
exported=$(x86_64-w64-mingw32-objdump -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' \
           | sed -n 's/^\s*\[ *[0-9]*\] \(.*\)$/\1/p' | sort)
if [ "$declared" != "$exported" ]; then
  echo "declared in the header:"; echo "$declared"
  echo "exported by the DLL:"; echo "$exported"
  exit 1
fi
echo "exports match: $(echo $exported)"
