#!/usr/bin/env bash
# The reader and the command-line tool for 64-bit Windows, cross-built here with MinGW-w64, and their
# installer and portable zip (in build-windows/). Installs what is missing (root on Debian 12), then
# builds Qt 6.4.2 (qtbase) and PCRE2 for Windows from Debian's source packages into a cache folder,
# once: about an hour of processor time, 35 minutes on 2 idle cores. scripts/test-windows.sh tests the result under Wine.
#   scripts/build-windows.sh                 everything
#   scripts/build-windows.sh --dependencies  only the cached Qt and PCRE2
# EVENFALL_WINDOWS_QT and EVENFALL_WINDOWS_PCRE2 choose the cache folders, EVENFALL_JOBS the parallel jobs.
source "$(dirname "${BASH_SOURCE[0]}")/windows-common.sh"

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# apt-get source needs a deb-src entry, which Debian's images lack.
ensure_source_index() {
    if [ -n "$(apt-cache showsrc qt6-base 2>/dev/null)" ]; then
        return 0
    fi
    echo "Adding Debian's source index (deb-src) for apt-get source"
    as_root tee /etc/apt/sources.list.d/evenfall-deb-src.sources >/dev/null <<'EOF'
# Source packages, for the Windows cross build's Qt and PCRE2 (scripts/build-windows.sh)
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

# The host's Qt may be a security update, whose source is only there
Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    retry as_root apt-get update -qq
}

# Unpacks Debian's source package $1 at version $2 (with Debian's patches, which carry security fixes)
# into the folder $3, downloading it once into the cache.
unpack_source() {
    local package=$1 version=$2 target=$3
    local downloads="$CACHE_ROOT/downloads"
    mkdir -p "$downloads"
    local dsc
    dsc="$downloads/${package}_${version#*:}.dsc"
    if [ ! -f "$dsc" ]; then
        ensure_source_index
        # Into a folder of its own, moved beside the others once whole: an interrupted download is not
        # taken for a complete one next time. The _apt user cannot write into root's cache folder; the
        # files are checked against the signed index all the same.
        local partial="$downloads/partial-$package"
        rm -rf "$partial"
        mkdir -p "$partial"
        (cd "$partial" && retry apt-get -o APT::Sandbox::User=root source --download-only -qq "$package=$version")
        mv "$partial"/* "$downloads/"
        rmdir "$partial"
    fi
    rm -rf "$target"
    # Checks the files against the .dsc's checksums; its signature was checked by apt.
    dpkg-source -x "$dsc" "$target" >/dev/null 2>&1
}

# True when the cache folder $1 is complete and was built with the fingerprint $2.
cache_complete() {
    [ -f "$1/$STAMP" ] && [ "$(cat "$1/$STAMP")" = "$2" ]
}

toolchain="$ROOT/cmake/mingw-w64-x86_64.cmake"

# Options of Qt's configure and why. The cache is rebuilt whenever they change.
qt_options=(
    # Cross-compiling with MinGW-w64; moc, rcc and uic are the host Qt's (qt6-base-dev-tools, the same
    # version), so no tool is built for the target.
    -xplatform win32-g++
    -device-option CROSS_COMPILE=$MINGW-
    -qt-host-path /usr
    # Shared libraries beside the programs, as Windows programs ship Qt; release only.
    -release -shared
    -nomake examples -nomake tests
    # Only the modules the programs and tests use (Core, Gui, Widgets, Concurrent, Test): network, SQL,
    # XML, printing and D-Bus would only add build time.
    -no-feature-network -no-feature-sql -no-feature-xml -no-feature-printsupport -no-dbus
    # Widgets are painted in software: no OpenGL or Vulkan to build or to load.
    -no-opengl -no-feature-vulkan
    # Qt's bundled copies of third-party libraries: Debian has no MinGW builds of them. FreeType serves
    # the offscreen platform plugin that the tests under Wine use.
    -qt-zlib -qt-pcre -qt-libpng -qt-freetype -qt-harfbuzz -qt-doubleconversion
    # The programs show no JPEG or GIF images.
    -no-libjpeg -no-gif
    # Code pages come from Windows and the program's own table, not ICU; no zstd-compressed resources.
    -no-icu -no-feature-zstd
    # Debian's tarball lacks 3rdparty/wintab, which tablet events need.
    -no-feature-tabletevent
    # Without Direct2D (an extra platform plugin we do not ship), Qt 6.4.2 leaves the DirectWrite font
    # database out of Qt6Gui while qwindows.dll still refers to it, and the plugin fails to link; the
    # GDI font database serves.
    -no-feature-direct2d -no-feature-directwrite3
    # Debian's cross.patch would build the Android packaging tool for Windows.
    -no-feature-androiddeployqt
)

build_qt() {
    local version fingerprint
    version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
    case "$version" in
    6.4.2*) ;;
    *)
        echo "The host's Qt is $version; this build needs 6.4.2, whose moc, rcc and uic serve the cross build." >&2
        exit 1
        ;;
    esac
    fingerprint="qt6-base $version ${qt_options[*]}"
    if cache_complete "$QT_WIN" "$fingerprint"; then
        echo "Qt for Windows: $QT_WIN (cached)"
        return 0
    fi
    echo "Qt for Windows: building qtbase $version into $QT_WIN (about 35 minutes on 2 idle cores)"
    local start work
    start=$(now)
    work="$CACHE_ROOT/work-qt"
    rm -rf "$QT_WIN" "$work"
    mkdir -p "$work/build"
    unpack_source qt6-base "$version" "$work/src"
    (cd "$work/build" && logged "$work/configure.log" "$work/src/configure" -prefix "$QT_WIN" "${qt_options[@]}" \
        -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)
    logged "$work/build.log" cmake --build "$work/build" --parallel "$JOBS"
    logged "$work/install.log" cmake --install "$work/build" --strip
    echo "$fingerprint" >"$QT_WIN/$STAMP"
    rm -rf "$work"
    echo "Qt for Windows: built in $(duration $(($(now) - start))), $(du -sh "$QT_WIN" | cut -f1) installed"
}

# PCRE2 for the model's regular expressions: static, 8- and 16-bit, with the JIT compiler.
pcre2_options=(
    -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON
    -DPCRE2_BUILD_PCRE2_8=ON -DPCRE2_BUILD_PCRE2_16=ON -DPCRE2_BUILD_PCRE2_32=OFF
    -DPCRE2_SUPPORT_JIT=ON -DPCRE2_SUPPORT_UNICODE=ON
    -DPCRE2_BUILD_PCRE2GREP=OFF -DPCRE2_BUILD_TESTS=OFF
)

build_pcre2() {
    local version fingerprint
    version=$(apt-cache showsrc pcre2 2>/dev/null | awk '/^Version: 10\.42/ { print $2; exit }')
    if [ -z "$version" ]; then
        ensure_source_index
        version=$(apt-cache showsrc pcre2 | awk '/^Version: 10\.42/ { print $2; exit }')
    fi
    fingerprint="pcre2 $version ${pcre2_options[*]}"
    if cache_complete "$PCRE2_WIN" "$fingerprint"; then
        echo "PCRE2 for Windows: $PCRE2_WIN (cached)"
        return 0
    fi
    echo "PCRE2 for Windows: building $version into $PCRE2_WIN"
    local work="$CACHE_ROOT/work-pcre2"
    rm -rf "$PCRE2_WIN" "$work"
    mkdir -p "$work"
    unpack_source pcre2 "$version" "$work/src"
    logged "$work/configure.log" cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$PCRE2_WIN" "${pcre2_options[@]}"
    logged "$work/build.log" cmake --build "$work/build" --parallel "$JOBS"
    logged "$work/install.log" cmake --install "$work/build"
    echo "$fingerprint" >"$PCRE2_WIN/$STAMP"
    rm -rf "$work"
}

install_missing_packages run windows
build_qt
build_pcre2
[ "${1:-}" = --dependencies ] && exit 0

# The icon is rendered by the host's build of the renderer, and the tests under Wine compare the
# command-line tool with the host's.
echo "Host build: the icon renderer, the command-line tool and the log generator"
mkdir -p "$BUILD_DIR"
logged "$BUILD_DIR/host-tools-build.log" build_project evenfall-render-icons evenfall-chatlog evenfall-loggen

start=$(now)
# Optimised as the Linux build is, without its debugging information: the packages are stripped, and
# MinGW links the tests' large executables much faster without it.
echo "Windows build: configuring $WIN_BUILD_DIR"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
mkdir -p "$WIN_BUILD_DIR"
logged "$WIN_BUILD_DIR/configure.log" cmake -S "$ROOT" -B "$WIN_BUILD_DIR" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_PREFIX_PATH="$QT_WIN;$PCRE2_WIN" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DEVENFALL_HOST_RENDER_ICONS="$BUILD_DIR/packaging/evenfall-render-icons" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$ROOT/scripts/wine-run.sh" \
    -DEVENFALL_BUILD_BENCHMARKS=OFF "${launcher[@]}"
echo "Windows build: compiling (the programs and their tests)"
logged "$WIN_BUILD_DIR/build.log" cmake --build "$WIN_BUILD_DIR" --parallel "$JOBS"
echo "Windows build: packaging"
rm -f "$WIN_BUILD_DIR"/evenfall-chat-log-reader-*-win64.{exe,zip}
(cd "$WIN_BUILD_DIR" && logged "$WIN_BUILD_DIR/package.log" cpack -G "NSIS;ZIP")
echo "Windows build: done in $(duration $(($(now) - start)))"
ls -l "$WIN_BUILD_DIR"/evenfall-chat-log-reader-*-win64.{exe,zip} | awk '{ printf "  %s  %.1f MB\n", $NF, $5 / 1048576 }'
