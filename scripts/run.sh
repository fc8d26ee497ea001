#!/usr/bin/env bash
# Installs what is missing, builds the reader alone and starts it in examples/, where it lists the
# sample logs. Arguments go to the reader. Without a display it runs on a virtual one (Xvfb).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    if ! command -v xvfb-run >/dev/null; then
        install_missing_packages headless
    fi
    echo "No display found: starting on a virtual one (Xvfb), where the window cannot be seen."
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

install_missing_packages run
log="$BUILD_DIR/run-build.log"
echo "Building the reader into $BUILD_DIR (a minute or two the first time)..."
mkdir -p "$BUILD_DIR"
if ! build_project evenfall-chat-log-reader >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "The build failed; its whole output is in $log" >&2
    exit 1
fi

cd "$ROOT/examples"
"$BUILD_DIR/app/evenfall-chat-log-reader" "$@" &
reader=$!
# Started in the background, the reader ignores Ctrl+C; pass it on.
trap 'kill "$reader" 2>/dev/null' INT TERM

# A window of the reader's class; its hidden helper windows have none.
window_open() {
    xwininfo -root -tree 2>/dev/null | grep -qF ': ("evenfall-chat-log-reader" '
}
if [ -n "${DISPLAY:-}" ] && command -v xwininfo >/dev/null; then
    until window_open; do
        kill -0 "$reader" 2>/dev/null || break
        sleep 0.2
    done
fi
if kill -0 "$reader" 2>/dev/null; then
    echo "The reader is open on examples/ (pid $reader): close its window, or press Ctrl+C here, to stop it."
fi
wait "$reader"
