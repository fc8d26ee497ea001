# Shared by scripts/build-windows.sh and scripts/test-windows.sh: where the Windows build's pieces live.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

MINGW=x86_64-w64-mingw32
CACHE_ROOT="${XDG_CACHE_HOME:-$HOME/.cache}/evenfall-chat-log-reader"
# Qt and PCRE2 built for Windows, each complete once its stamp file is there (written last).
QT_WIN="${EVENFALL_WINDOWS_QT:-$CACHE_ROOT/qt-6.4.2-mingw64}"
PCRE2_WIN="${EVENFALL_WINDOWS_PCRE2:-$CACHE_ROOT/pcre2-10.42-mingw64}"
STAMP=.evenfall-complete
WIN_BUILD_DIR="${EVENFALL_WINDOWS_BUILD_DIR:-$ROOT/build-windows}"
JOBS="${EVENFALL_JOBS:-$(nproc)}"

# Seconds since the epoch, for the times the scripts report.
now() { date +%s; }
# "12 min 5 s" from a number of seconds.
duration() { echo "$(($1 / 60)) min $(($1 % 60)) s"; }

# Runs a long step with its output in a log file; on failure shows the log's end.
logged() {
    local log=$1
    shift
    if ! "$@" >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "Failed: $*" >&2
        echo "The whole output is in $log" >&2
        return 1
    fi
}
