#!/usr/bin/env bash
# Tests the Windows build of scripts/build-windows.sh under wine64, in a fresh Wine prefix of a temporary
# folder: PCRE2's JIT, the model's, the command-line tool's and the registry's test suites, a window
# smoke test, the tool's output against the Linux build's, a picture of the reader with the windows
# platform plugin (docs/main-window-windows.png) and the installer: installed silently, started,
# uninstalled. Fails when any of them fails.
#   scripts/test-windows.sh        as CI runs it
#   scripts/test-windows.sh --all  every test suite, the window's too (a few minutes more)
source "$(dirname "${BASH_SOURCE[0]}")/windows-common.sh"

all_suites=no
[ "${1:-}" = --all ] && all_suites=yes

install_missing_packages run headless windows wine
if [ ! -f "$WIN_BUILD_DIR/build.ninja" ] || ! ls "$WIN_BUILD_DIR"/evenfall-chat-log-reader-*-win64.exe >/dev/null 2>&1; then
    echo "No Windows build in $WIN_BUILD_DIR: run scripts/build-windows.sh first." >&2
    exit 1
fi

WINE64=$(command -v wine64 || echo /usr/lib/wine/wine64)
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
export WINE64
scratch=$(mktemp -d)
export WINEPREFIX="$scratch/prefix" WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko: nothing here needs them, and their installers would ask for a download.
export WINEDLLOVERRIDES="mscoree=;mshtml="
cleanup() {
    "$WINESERVER" -k 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

# The Windows spelling of a path of this machine (Wine's drive Z: is its root).
windows_path() { echo "Z:${1//\//\\}"; }

failures=()
# Runs one named check, timed; a failure is noted and the checks go on. A check still running after
# 20 minutes has hung: its Windows programs are ended (wineserver -k), which fails it.
check() {
    local name=$1 start status=0
    shift
    start=$(now)
    echo "== $name"
    # Without errexit, as in an if: each check says itself what fails it.
    (
        set +e
        "$@"
    ) &
    local pid=$! waited=0
    while kill -0 "$pid" 2>/dev/null && [ $waited -lt 1200 ]; do
        sleep 1
        waited=$((waited + 1))
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "   still running after $(duration $waited): its Windows programs are ended"
        "$WINESERVER" -k 2>/dev/null || true
        sleep 5
        kill "$pid" 2>/dev/null || true
    fi
    wait "$pid" || status=$?
    if [ "$status" -eq 0 ]; then
        echo "   passed in $(duration $(($(now) - start)))"
    else
        echo "   FAILED after $(duration $(($(now) - start)))"
        failures+=("$name")
    fi
}

all_start=$(now)
echo "A fresh Wine prefix in $scratch"
# Made again when Wine's first start fails, as it now and then does on a busy machine.
new_prefix() {
    "$WINESERVER" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    "$WINE64" wineboot -i && "$WINESERVER" -w
}
logged "$scratch/wineboot.log" retry new_prefix

# The Qt and MinGW DLLs of the build tree's programs, and fonts for the offscreen platform plugin, whose
# text is boxes without them.
runtime_dirs=("$QT_WIN/bin")
for dll in libstdc++-6.dll libwinpthread-1.dll; do
    runtime_dirs+=("$(dirname "$($MINGW-g++-posix -print-file-name=$dll)")")
done
WINEPATH=""
for dir in "${runtime_dirs[@]}"; do WINEPATH+="$(windows_path "$dir");"; done
export WINEPATH
QT_QPA_FONTDIR=$(windows_path /usr/share/fonts/truetype/dejavu)
export QT_QPA_FONTDIR
# Without a console, Qt sends the tests' reports to the debugger instead of standard output.
export QT_FORCE_STDERR_LOGGING=1

# The game's folder as its installer leaves it: the key in the registry's 32-bit view, the logs below.
game="$WINEPREFIX/drive_c/Games/Evenfall"
mkdir -p "$game/Logs"
cp "$ROOT"/examples/client_chat_log_*.txt "$game/Logs/"
"$WINE64" 'C:\windows\system32\reg.exe' add 'HKLM\SOFTWARE\KestrelGames\Evenfall' /ve /d 'C:\Games\Evenfall' \
    /f /reg:32 >/dev/null

pcre2_jit() {
    local exe="$scratch/tst_pcre2_jit.exe"
    $MINGW-g++-posix -std=c++20 -O1 -Wall -Wextra -static -DPCRE2_STATIC -I"$PCRE2_WIN/include" \
        -o "$exe" "$ROOT/tests/wine/tst_pcre2_jit.cpp" -L"$PCRE2_WIN/lib" -lpcre2-16 -lpcre2-8 &&
        "$WINE64" "$exe"
}

suites() {
    local only=(-R '^(tst_parser|tst_loader|tst_chattext|tst_chatsearch|tst_loggen|tst_registry|tst_cli)$')
    [ "$all_suites" = yes ] && only=()
    QT_QPA_PLATFORM=offscreen ctest --test-dir "$WIN_BUILD_DIR" --output-on-failure --timeout 900 -j "$JOBS" \
        "${only[@]}"
}

# Import an example log, click a chat, merge, save, find: the window tests that do these, offscreen.
window_smoke() {
    local dir="$WIN_BUILD_DIR"
    (cd "$dir" &&
        QT_QPA_PLATFORM=offscreen "$ROOT/scripts/wine-run.sh" tst_windowactions.exe \
            mergedChatsShowInterleaved savePageNothingAndOverExisting &&
        QT_QPA_PLATFORM=offscreen "$ROOT/scripts/wine-run.sh" tst_findandpages.exe \
            findTurnsToThePageOfEachMatch findNothingSaysSoAndChangesNothing &&
        QT_QPA_PLATFORM=offscreen "$ROOT/scripts/wine-run.sh" tst_mainwindow.exe startUpListsLogsOfCurrentFolder)
}

# The tool's output equals the Linux build's line for line (CR LF on a Windows console), and the files
# it writes with --output byte for byte.
cli_matches_linux() {
    local linux="$BUILD_DIR/cli/evenfall-chatlog" windows="$WIN_BUILD_DIR/evenfall-chatlog.exe"
    local work="$scratch/cli" ok=0 lines=0
    # The logs by their names alone, in the current folder: a path would be spelt with the platform's
    # separators.
    mkdir -p "$work/logs"
    cp "$ROOT"/examples/client_chat_log_*.txt "$work/logs/"
    "$BUILD_DIR/tools/evenfall-loggen" --size 10M --seed 7 --output "$work/logs/generated.txt"
    cd "$work/logs" || return 1
    compare() {
        local what=$1
        shift
        "$linux" "$@" >../linux.out 2>../linux.err
        local linux_status=$?
        "$WINE64" "$windows" "$@" >../windows.out 2>../windows.err
        local windows_status=$?
        lines=$((lines + $(wc -l <../linux.out)))
        if [ "$linux_status" != "$windows_status" ]; then
            echo "   $what: exit status $windows_status on Windows, $linux_status on Linux"
            ok=1
        elif [ -s ../windows.out ] && grep -qv $'\r$' ../windows.out; then
            echo "   $what: a line without CR LF on Windows"
            ok=1
        elif ! cmp -s ../linux.out <(tr -d '\r' <../windows.out); then
            echo "   $what: the lines differ from Linux's:"
            diff <(tr -d '\r' <../windows.out) ../linux.out | head -n 5
            ok=1
        fi
    }
    local log chats=()
    for log in client_chat_log_*.txt generated.txt; do
        mapfile -t chats < <("$linux" list "$log" | cut -f1 | head -n 3)
        compare "list $log" list --kind "$log"
        compare "show $log" show --timestamps "$log" "${chats[@]}"
        compare "search $log" search --ignore-case --timestamps "the" "$log"
        "$linux" show "$log" "${chats[@]}" --timestamps --output ../linux.txt
        "$WINE64" "$windows" show "$log" "${chats[@]}" --timestamps --output ../windows.txt
        if ! cmp -s ../linux.txt ../windows.txt; then
            echo "   show --output $log: the files differ"
            ok=1
        fi
    done
    compare "history" history --file-headers . Orrik
    cd "$ROOT" || return 1
    echo "   $lines lines of $(ls "$work/logs" | wc -l) logs, one of them generated ($(du -h "$work/logs/generated.txt" | cut -f1)): list, show, search, show --output, history"
    return $ok
}

# The reader with the windows platform plugin on a virtual display, as a player sees it: the logs found
# with "Logs" through the registry, one imported, two chats merged, one on view.
screenshot() {
    local picture="$scratch/main-window-windows.png"
    # Programs that ran without a display leave a Wine session that can show no window: wait it out.
    "$WINESERVER" -w
    (cd "$WIN_BUILD_DIR" &&
        xvfb-run -a -s "-screen 0 1280x1024x24" "$WINE64" evenfall-screenshot.exe "$(windows_path "$picture")") &&
        cp "$picture" "$ROOT/docs/main-window-windows.png" &&
        echo "   wrote docs/main-window-windows.png"
}

# The installer, silently (/S) into the prefix: it installs, the reader answers --version and the tool
# lists a log from the installed folder, and the uninstaller leaves nothing behind.
installer() {
    local setup home programs shortcut uninstall_key
    setup=$(ls "$WIN_BUILD_DIR"/evenfall-chat-log-reader-*-win64.exe)
    home="$WINEPREFIX/drive_c/users/$(id -un)/AppData"
    programs="$home/Local/Programs/Evenfall Chat Log Reader"
    shortcut="$home/Roaming/Microsoft/Windows/Start Menu/Programs/Evenfall Chat Log Reader.lnk"
    uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\EvenfallChatLogReader'
    # No WINEPATH: the installed programs must find every DLL beside them.
    WINEPATH= "$WINE64" "$setup" /S || return 1
    "$WINESERVER" -w
    [ -f "$programs/evenfall-chat-log-reader.exe" ] || { echo "   not installed in $programs"; return 1; }
    [ -f "$shortcut" ] || { echo "   no Start menu entry"; return 1; }
    "$WINE64" 'C:\windows\system32\reg.exe' query "$uninstall_key" >/dev/null 2>&1 ||
        { echo "   no uninstall entry"; return 1; }
    echo "   installed: $(du -sh "$programs" | cut -f1) in $(find "$programs" -type f | wc -l) files"
    local version list
    version=$(WINEPATH= "$WINE64" "$programs/evenfall-chat-log-reader.exe" --version 2>&1 | tr -d '\r')
    echo "   reader --version: $version"
    [[ $version == *1.2.3* ]] || return 1
    list=$(WINEPATH= "$WINE64" "$programs/evenfall-chatlog.exe" list 'C:\Games\Evenfall\Logs\client_chat_log_2005-06-14_2100.txt' | tr -d '\r')
    [ "$list" = "$("$BUILD_DIR/cli/evenfall-chatlog" list "$game/Logs/client_chat_log_2005-06-14_2100.txt")" ] ||
        { echo "   the installed tool's list differs from Linux's"; return 1; }
    WINEPATH= "$WINE64" "$programs/Uninstall.exe" /S || return 1
    "$WINESERVER" -w
    # The uninstaller copies itself to a temporary folder and runs from there: wait until it is gone.
    local waited=0
    while [ -e "$programs" ] && [ $waited -lt 60 ]; do sleep 1; waited=$((waited + 1)); done
    [ ! -e "$programs" ] || { echo "   left behind:"; find "$programs" | head; return 1; }
    [ ! -e "$shortcut" ] || { echo "   the Start menu entry is left"; return 1; }
    ! "$WINE64" 'C:\windows\system32\reg.exe' query "$uninstall_key" >/dev/null 2>&1 ||
        { echo "   the uninstall entry is left"; return 1; }
}

check "PCRE2 with JIT" pcre2_jit
check "Test suites ($([ $all_suites = yes ] && echo all || echo "model, loader, chat text, parser, CLI, registry"))" suites
check "Window smoke test (offscreen)" window_smoke
check "CLI output equals Linux's" cli_matches_linux
# Again after a failure: a virtual display that does not come up is no fault of the program's.
check "Screenshot with the windows platform plugin" retry screenshot
check "Installer: silent install, start, uninstall" installer

echo "Windows tests: $(duration $(($(now) - all_start)))"
if [ ${#failures[@]} -gt 0 ]; then
    printf 'Failed: %s\n' "${failures[@]}" >&2
    exit 1
fi
echo "Windows tests: all passed"
