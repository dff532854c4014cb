# Sourced by the harness scripts: the environment of every Wine process of a test run.
# Usage: source env.sh <build dir>
VORLA_BUILD=$(cd "$1" && pwd)
VORLA_SOURCE=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export WINE=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver
export WINE_STATE=$VORLA_BUILD/wine
export WINE_TEMPLATE=$WINE_STATE/template
export WINEPREFIX=$WINE_STATE/prefix
export WINEDEBUG=-all
unset LC_ALL LC_CTYPE LC_MESSAGES
export LANG=${VORLA_TEST_LANG:-C.UTF-8}
if [ -f "$WINE_STATE/display" ]; then export DISPLAY=$(cat "$WINE_STATE/display"); fi
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }
export VORLA_BUILD_DIR=$(winpath "$VORLA_BUILD")
export VORLA_SOURCE_DIR=$(winpath "$VORLA_SOURCE")
export VORLA_DLL="$VORLA_BUILD_DIR\\VorlaNode.dll"
export WINEPATH="$VORLA_BUILD_DIR"
