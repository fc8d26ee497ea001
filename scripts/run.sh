#!/usr/bin/env bash
# Installs what is missing, builds, and starts the reader in examples/ so it lists the sample logs.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: run it under a virtual one with  xvfb-run -a scripts/run.sh" >&2
    exit 1
fi
install_missing_packages
build_project
cd "$ROOT/examples"
exec "$BUILD_DIR/app/evenfall-chat-log-reader" "$@"
