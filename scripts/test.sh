#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test headless; then the Windows registry
# code under Wine when the cross compiler and Wine are installed (.ci/run installs them).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_missing_packages run test
build_project
QT_QPA_PLATFORM=offscreen ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 600 -j "$(nproc)"
"$ROOT/scripts/test-registry-wine.sh"
