#!/usr/bin/env bash
# evenfall-chatlog side by side with grep on the same logs: wall time (median of the runs) and peak
# memory (largest of the runs, /usr/bin/time), for list, show of a channel and of a tell, and search of
# a fixed string. The tools take turns in every round, so load on the machine falls on all alike.
#
#   bench/cli.sh [--before BIN] [--repetitions N] LOG...
#
#   --before BIN     an older evenfall-chatlog to time as well, and to compare the output with
#   --repetitions N  rounds per operation (default 5)
#
# The channel is Trade when the log has it, else its largest named channel; the tell is its largest
# tell. Output goes to a file, as "> out" would.
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

before=""
repetitions=5
logs=()
while [ $# -gt 0 ]; do
    case "$1" in
        --before) before="$2"; shift ;;
        --repetitions) repetitions="$2"; shift ;;
        -*) echo "Usage: bench/cli.sh [--before BIN] [--repetitions N] LOG..." >&2; exit 2 ;;
        *) logs+=("$1") ;;
    esac
    shift
done
[ ${#logs[@]} -gt 0 ] || { echo "Usage: bench/cli.sh [--before BIN] [--repetitions N] LOG..." >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "bench/cli.sh needs /usr/bin/time (Debian: time)" >&2; exit 1; }

cli="$BUILD_DIR/cli/evenfall-chatlog"
# A tool older than search has no search to compare.
before_searches=no
[ -n "$before" ] && "$before" search --help >/dev/null 2>&1 && before_searches=yes
[ -x "$cli" ] || build_project evenfall-chatlog >/dev/null
work="$(mktemp -d "${TMPDIR:-/tmp}/evenfall-cli-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# Runs "$@" with standard output to $work/<slot>.out; prints seconds and peak KiB.
measure() {
    local slot="$1"; shift
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f "%M" -o "$work/$slot.rss" "$@" >"$work/$slot.out" 2>/dev/null || true
    end=$(date +%s%N)
    echo "$(( (end - start) / 1000 )) $(tail -n 1 "$work/$slot.rss")"
}

# Whether the older tool is timed for an operation.
compared() {
    [ -n "$before" ] && { [ "$1" != search ] || [ "$before_searches" = yes ]; }
}

# Median of the first column, largest of the second: "seconds MB".
summarize() {
    sort -n -k1,1 | awk '{ t[NR] = $1; if ($2 > m) m = $2 }
        END { printf "%.3f %.1f", t[int((NR + 1) / 2)] / 1e6, m / 1024 }'
}

printf '== evenfall-chatlog and grep, median of %s runs (load: %s)\n' "$repetitions" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-6s %-24s %16s %16s %16s %8s %s\n' size operation "before s/MB" "after s/MB" "grep s/MB" after/grep "same output"
for log in "${logs[@]}"; do
    size=$(basename "$log" .txt); size=${size##*_}
    chats="$("$cli" list --kind "$log")"
    channel=$(awk -F'\t' '$1 == "Trade" && $5 == "channel" { print $1 }' <<<"$chats")
    [ -n "$channel" ] || channel=$(awk -F'\t' '$1 != "" && $5 == "channel"' <<<"$chats" | sort -t$'\t' -k2,2nr | head -n 1 | cut -f1)
    tell=$(awk -F'\t' '$5 == "tell"' <<<"$chats" | sort -t$'\t' -k2,2nr | head -n 1 | cut -f1)
    pattern="honey bread"
    operations=(
        "list|list $log|grep -c ''"
        "show $channel|show $log $channel|LC_ALL=C grep -aF '[$channel:'"
        "show $tell|show $log $tell|LC_ALL=C grep -aE '^.{21} ($tell tells you|You tell $tell):'"
        "search '$pattern'|search|LC_ALL=C grep -aF '$pattern'"
    )
    for operation in "${operations[@]}"; do
        IFS='|' read -r name arguments grep_command <<<"$operation"
        if [ "$arguments" = search ]; then
            words=(search "$pattern" "$log")
        else
            read -r -a words <<<"$arguments"
        fi
        : >"$work/before.times"; : >"$work/after.times"; : >"$work/grep.times"
        for ((i = 0; i < repetitions; i++)); do
            if compared "$arguments"; then
                measure before "$before" "${words[@]}" >>"$work/before.times"
            fi
            measure after "$cli" "${words[@]}" >>"$work/after.times"
            measure grep sh -c "$grep_command \"\$0\"" "$log" >>"$work/grep.times"
        done
        same="-"
        if compared "$arguments"; then
            cmp -s "$work/before.out" "$work/after.out" && same=yes || same=NO
        fi
        read -r after_s after_mb <<<"$(summarize <"$work/after.times")"
        read -r grep_s grep_mb <<<"$(summarize <"$work/grep.times")"
        before_cell="-"
        if compared "$arguments"; then
            read -r before_s before_mb <<<"$(summarize <"$work/before.times")"
            before_cell="$before_s/$before_mb"
        fi
        ratio=$(awk -v a="$after_s" -v g="$grep_s" 'BEGIN { printf "%.2f", (g > 0 ? a / g : 0) }')
        printf '%-6s %-24s %16s %16s %16s %8s %s\n' "$size" "$name" "$before_cell" "$after_s/$after_mb" \
            "$grep_s/$grep_mb" "$ratio" "$same"
    done
done
echo "targets: after/grep <= 2; peak memory <= 64 MiB at 1 GB"
