#!/usr/bin/env bash
# The Windows registry code, built with the MinGW-w64 cross compiler and run under Wine in a fresh
# prefix. Needs g++-mingw-w64-x86-64-posix and wine64 (.ci/run installs them); without them it says
# so in one line and succeeds, so that scripts/test.sh works on a machine without them.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

CXX_WIN64=x86_64-w64-mingw32-g++-posix
WINE64=$(command -v wine64 || echo /usr/lib/wine/wine64)
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
if ! command -v "$CXX_WIN64" >/dev/null || [ ! -x "$WINE64" ]; then
    echo "Skipped the Windows registry test under Wine: needs wine64 and g++-mingw-w64-x86-64-posix"
    exit 0
fi

out="$BUILD_DIR/win64"
mkdir -p "$out"
echo "Windows registry test: building with $CXX_WIN64"
"$CXX_WIN64" -std=c++20 -O1 -Wall -Wextra -Wshadow -municode -static -I"$ROOT/platform" \
    -o "$out/tst_registry_win32.exe" "$ROOT/tests/wine/tst_registry_win32.cpp" \
    "$ROOT/platform/Win32Registry.cpp" "$ROOT/platform/RegistryValue.cpp" -ladvapi32

scratch=$(mktemp -d)
export WINEPREFIX="$scratch/prefix" WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and their installers would ask for a download.
export WINEDLLOVERRIDES="mscoree=;mshtml="
cleanup() {
    "$WINESERVER" -k 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

echo "Windows registry test: a fresh Wine prefix in $scratch"
"$WINE64" wineboot -i >"$scratch/wineboot.log" 2>&1 || { cat "$scratch/wineboot.log" >&2; exit 1; }
"$WINE64" "$out/tst_registry_win32.exe"
