#!/usr/bin/env bash
# check-package.sh BUILD_DIR VERSION: makes the Debian package of a complete build with CPack into a
# temporary folder, checks its control fields and its file list, unpacks it into a throw-away root and
# runs both programs from there. Skipped (77) without dpkg-dev's and file's tools.
set -euo pipefail
build=$1
version=$2
for tool in cpack dpkg-deb dpkg-shlibdeps file; do
    if ! command -v "$tool" >/dev/null; then
        echo "Skipped: $tool is not installed (Debian packages dpkg-dev and file)"
        exit 77
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack could not make the package"
    exit 1
fi
deb=$(find "$work/out" -maxdepth 1 -name '*.deb')
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "evenfall-chat-log-reader_${version}_${arch}.deb" ] || fail "package file named $(basename "$deb")"

echo "== control"
dpkg-deb -f "$deb" | tee "$work/control"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = evenfall-chat-log-reader ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
grep -qE '^Maintainer: .+ <[^>]+@[^>]+>$' "$work/control" || fail "no maintainer with an address"
# The libraries the programs link, found by dpkg-shlibdeps rather than listed by hand.
field Depends | tr ',' '\n' | awk '{ print $1 }' >"$work/depends"
for dependency in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
    grep -qxF "$dependency" "$work/depends" || fail "Depends lacks $dependency"
done
[ "$(grep -c '^ ' "$work/control")" -ge 2 ] || fail "no long description"

echo "== files"
dpkg-deb -c "$deb" | tee "$work/contents"
awk '{ print $6 }' "$work/contents" | sed 's|^\./|/|; s|/$||' >"$work/paths"
icons=/usr/share/icons/hicolor
expected=(
    /usr/bin/evenfall-chat-log-reader
    /usr/bin/evenfall-chatlog
    /usr/share/applications/evenfall-chat-log-reader.desktop
    /usr/share/metainfo/com.kestrelgames.EvenfallChatLogReader.metainfo.xml
    /usr/share/man/man1/evenfall-chat-log-reader.1.gz
    /usr/share/man/man1/evenfall-chatlog.1.gz
    $icons/scalable/apps/evenfall-chat-log-reader.svg
)
for size in 16 32 48 64 128 256; do
    expected+=("$icons/${size}x${size}/apps/evenfall-chat-log-reader.png")
done
for path in "${expected[@]}"; do
    grep -qxF "$path" "$work/paths" || fail "the package lacks $path"
done
# Nothing but the installed program: no build or test leftovers, nothing outside /usr.
unexpected=$(grep -vE '^/usr(/(bin|share)(/.*)?)?$|^/?$' "$work/paths" || true)
[ -z "$unexpected" ] || fail "unexpected files: $unexpected"
grep -E '^/usr/bin/.' "$work/paths" | grep -qvE '^/usr/bin/evenfall-(chat-log-reader|chatlog)$' &&
    fail "other programs in /usr/bin: $(grep '^/usr/bin/.' "$work/paths" | tr '\n' ' ')"
# Owned by root, as dpkg would install them.
awk '$2 != "root/root" { exit 1 }' "$work/contents" || fail "files not owned by root/root"

echo "== unpacked"
root="$work/root"
dpkg -x "$deb" "$root"
for program in evenfall-chat-log-reader evenfall-chatlog; do
    file -b "$root/usr/bin/$program" | grep -q ', stripped' || fail "$program is not stripped"
done
for size in 16 32 48 64 128 256; do
    png="$root$icons/${size}x${size}/apps/evenfall-chat-log-reader.png"
    file -b "$png" | grep -q "PNG image data, $size x $size" || fail "$png is $(file -b "$png")"
done
zcat "$root/usr/share/man/man1/evenfall-chatlog.1.gz" | grep -q "^\.TH EVENFALL-CHATLOG 1 .*$version" ||
    fail "the manual page of evenfall-chatlog does not carry the version"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/"*.metainfo.xml ||
    fail "the metainfo does not name release $version"

cli_version=$("$root/usr/bin/evenfall-chatlog" --version) || fail "evenfall-chatlog --version failed"
[ "$cli_version" = "evenfall-chatlog $version" ] || fail "evenfall-chatlog --version said: $cli_version"
echo "evenfall-chatlog --version: $cli_version"

# --version prints and ends before any window or display is needed, so it runs with none at all.
reader_version=$(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 10 \
    "$root/usr/bin/evenfall-chat-log-reader" --version 2>"$work/reader.err") || {
    cat "$work/reader.err"
    fail "evenfall-chat-log-reader --version failed"
}
grep -qF "$version" <<<"$reader_version" || fail "evenfall-chat-log-reader --version said: $reader_version"
echo "evenfall-chat-log-reader --version: $reader_version"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) of the package failed"
    exit 1
fi
echo "The package is complete"
