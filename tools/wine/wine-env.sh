# Sourced by the Wine helper scripts: the private 32-bit prefix of one build folder.
# Usage: . wine-env.sh <build dir>
: "${1:?build dir}"
export WINEPREFIX="$(cd "$1" && pwd)/wineprefix"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
SELVANE_WINE_STATE="$(cd "$1" && pwd)/wine-state"
mkdir -p "$SELVANE_WINE_STATE"
