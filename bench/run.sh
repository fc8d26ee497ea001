#!/usr/bin/env bash
# Builds, generates the benchmark logs into a temporary folder and runs every benchmark, then measures
# the peak memory of the window process after one import of each log and a click on its largest
# chat, and times evenfall-chatlog side by side with grep on the same logs (bench/cli.sh; set
# EVENFALL_BEFORE_CLI to an older evenfall-chatlog to time it as well).
#
#   bench/run.sh [--large] [--repetitions N] [-- extra Google Benchmark flags]
#
#   --large          add a 1 GB log (about 2 GB of memory and several minutes)
#   --repetitions N  repeat each benchmark N times and report mean, median and spread (default 5)
#
# The logs are removed when the script ends. Results are noisy while other work runs: the load average
# is printed first.
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

sizes="10M,100M"
repetitions=5
extra=()
while [ $# -gt 0 ]; do
    case "$1" in
        --large) sizes="10M,100M,1G" ;;
        --repetitions) repetitions="$2"; shift ;;
        --) shift; extra=("$@"); break ;;
        *) echo "Usage: bench/run.sh [--large] [--repetitions N] [-- benchmark flags]" >&2; exit 2 ;;
    esac
    shift
done

install_missing_packages run test
build_project

work="$(mktemp -d "${TMPDIR:-/tmp}/evenfall-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT

IFS=',' read -r -a size_list <<<"$sizes"
for size in "${size_list[@]}"; do
    mkdir -p "$work/$size"
    "$BUILD_DIR/tools/evenfall-loggen" --size "$size" --seed 42 --output "$work/$size/client_chat_log_$size.txt"
done
export EVENFALL_BENCH_DIR="$work" EVENFALL_BENCH_SIZES="$sizes"

echo "== load: $(uptime)"
flags=(--benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true "${extra[@]}")
"$BUILD_DIR/bench/bench_model" "${flags[@]}"
"$BUILD_DIR/bench/bench_window" "${flags[@]}"
"$BUILD_DIR/bench/bench_cliffs"

echo "== peak memory of the window process after one import and a click on the largest chat"
echo "   (targets: at most 1.3 x the file after the import, 2 x after the click)"
for size in "${size_list[@]}"; do
    log="$work/$size/client_chat_log_$size.txt"
    bytes=$(stat -c %s "$log")
    if [ -x /usr/bin/time ]; then
        report="$(/usr/bin/time -v "$BUILD_DIR/bench/evenfall-import-once" --click-largest "$log" 2>&1)"
        echo "$report" | grep -E '^(file|import|peak RSS|largest chat)'
        kib=$(echo "$report" | sed -n 's/.*Maximum resident set size (kbytes): //p')
        awk -v kib="$kib" -v bytes="$bytes" -v size="$size" 'BEGIN {
            printf "%-5s max RSS %.1f MB = %.2f x the file (/usr/bin/time -v)\n", size, kib * 1024 / 1e6, kib * 1024 / bytes }'
    else
        "$BUILD_DIR/bench/evenfall-import-once" --click-largest "$log"
    fi
    # The same file read by the plainest tools, in the same run, for scale.
    for tool in "wc -l" "cat"; do
        start=$(date +%s.%N)
        $tool "$log" >/dev/null
        awk -v s="$start" -v e="$(date +%s.%N)" -v size="$size" -v tool="$tool" \
            'BEGIN { printf "%-5s %-5s %.3f s\n", size, tool, e - s }'
    done
done

echo "== peak memory after importing the 100 MB log with one character beyond windows-1252 on every line"
echo "   (target: at most 1.4 x the file)"
if [[ ",$sizes," == *",100M,"* ]] && [ -x /usr/bin/time ]; then
    mkdir -p "$work/wide"
    wide="$work/wide/client_chat_log_wide.txt"
    { printf '\xEF\xBB\xBF'; iconv -f WINDOWS-1252 -t UTF-8 "$work/100M/client_chat_log_100M.txt" |
        sed '2,$ s/\r$/ \xCE\xA9\r/'; } >"$wide"
    /usr/bin/time -v "$BUILD_DIR/bench/evenfall-import-once" "$wide" 2>&1 | grep -E '^(file|import|peak RSS)'
fi

echo "== Follow Log: 1,000 lines appended at a time to the 100 MB log while the window follows"
echo "   (targets: on screen within 700 ms of the write, at most 20 ms of the GUI thread per append)"
"$BUILD_DIR/bench/bench_follow" "$work/100M/client_chat_log_100M.txt" --batches 10

logs=()
for size in "${size_list[@]}"; do
    logs+=("$work/$size/client_chat_log_$size.txt")
done
"$ROOT/bench/cli.sh" ${EVENFALL_BEFORE_CLI:+--before "$EVENFALL_BEFORE_CLI"} --repetitions "$repetitions" "${logs[@]}"
