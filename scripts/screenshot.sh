#!/usr/bin/env bash
# Takes the README's picture of the main window (docs/main-window.png) on a virtual display, as a player
# who runs the game under Wine sees it: the sample logs in the game's Logs folder of a made-up Wine
# prefix, found with "Logs". Rerun it after changing how the window looks.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_missing_packages run headless
build_project evenfall-screenshot >/dev/null

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
mkdir -p "$prefix/drive_c/Games/Evenfall/Logs" "$prefix/dosdevices"
ln -s ../drive_c "$prefix/dosdevices/c:"
cp "$ROOT"/examples/client_chat_log_*.txt "$prefix/drive_c/Games/Evenfall/Logs/"
cat >"$prefix/system.reg" <<'REG'
WINE REGISTRY Version 2
;; All keys relative to \\Machine

[Software\\KestrelGames\\Evenfall] 1700000000
@="C:\\Games\\Evenfall"
REG

mkdir -p "$ROOT/docs"
WINEPREFIX="$prefix" xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$BUILD_DIR/packaging/evenfall-screenshot" "$ROOT/docs/main-window.png" 2>/dev/null
echo "Wrote docs/main-window.png"
