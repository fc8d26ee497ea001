# Shared by the scripts: install what is missing, then configure and build incrementally.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${EVENFALL_BUILD_DIR:-$ROOT/build}"

# The packages of the named sections of scripts/packages.txt, one a line.
packages_in() {
    awk -v wanted=" $* " '
        /^\[[a-z]+\]$/ { section = substr($0, 2, length($0) - 2); next }
        /^[[:space:]]*(#|$)/ { next }
        index(wanted, " " section " ") { print $1 }' "$ROOT/scripts/packages.txt"
}

# Runs a command that reaches the network up to 3 times, 20 and 60 seconds apart: a mirror that is
# briefly unreachable must not fail a build.
retry() {
    local wait
    for wait in 20 60 0; do
        "$@" && return 0
        [ "$wait" -eq 0 ] && break
        echo "Failed: $*; again in $wait s" >&2
        sleep "$wait"
    done
    return 1
}

# Installs the packages of the named sections that are not installed yet.
install_missing_packages() {
    local pkg missing=()
    for pkg in $(packages_in "$@"); do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "Missing packages, and no sudo to install them. As root, run:" >&2
            echo "  apt-get update && apt-get install --no-install-recommends ${missing[*]}" >&2
            echo "then this command again." >&2
            exit 1
        fi
        sudo="sudo"
    fi
    echo "Installing missing packages: ${missing[*]}"
    retry $sudo apt-get update -qq
    retry $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures (always: it is quick, and it finds packages installed since the last time) and builds the
# given targets, or everything.
build_project() {
    local targets=()
    [ $# -gt 0 ] && targets=(--target "$@")
    if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
        cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    else
        cmake -S "$ROOT" -B "$BUILD_DIR" >/dev/null
    fi
    cmake --build "$BUILD_DIR" --parallel "$(nproc)" "${targets[@]}"
}
