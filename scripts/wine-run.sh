#!/usr/bin/env bash
# Runs a Windows program under wine64: the emulator through which CTest runs the Windows build's tests
# (CMAKE_CROSSCOMPILING_EMULATOR). Wine keeps QT_* variables from Windows programs, so each is passed on
# as WINEQT_*, which Wine hands over without the WINE. scripts/test-windows.sh sets up the prefix and
# WINEPATH, where the Qt and MinGW DLLs are found.
for name in $(compgen -e); do
    if [[ $name == QT_* ]]; then export "WINE$name=${!name}"; fi
done
exec "${WINE64:-$(command -v wine64 || echo /usr/lib/wine/wine64)}" "$@"
