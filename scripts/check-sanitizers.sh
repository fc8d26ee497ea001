#!/usr/bin/env bash
# The hunt for memory faults and undefined behaviour: a Debug build with clang and
# -fsanitize=address,undefined in a build folder of its own, the whole test suite run in it, then every
# libFuzzer target of fuzz/ for a while on its seed corpus. Exits non-zero on any finding.
#
#   scripts/check-sanitizers.sh [--fuzz-seconds N]   (N per target, default 60; 0 skips fuzzing)
#
# The build folder is $EVENFALL_SANITIZER_BUILD_DIR, else build-sanitizers/ beside build/. Inputs that
# broke a rule or crashed a target are kept in <build folder>/fuzz-findings/ and named in the output.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

fuzz_seconds=60
while [ $# -gt 0 ]; do
    case "$1" in
        --fuzz-seconds) fuzz_seconds="$2"; shift ;;
        *) echo "Usage: scripts/check-sanitizers.sh [--fuzz-seconds N]" >&2; exit 2 ;;
    esac
    shift
done

install_missing_packages run test sanitizers
SAN_DIR="${EVENFALL_SANITIZER_BUILD_DIR:-$ROOT/build-sanitizers}"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S "$ROOT" -B "$SAN_DIR" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_CXX_FLAGS="$sanitize" -DCMAKE_EXE_LINKER_FLAGS="$sanitize" \
    -DEVENFALL_FUZZ=ON -DEVENFALL_BUILD_BENCHMARKS=OFF "${launcher[@]}" >/dev/null
cmake --build "$SAN_DIR" --parallel "$(nproc)"

# Any report ends the process with a failure; leaks count.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
symbolizer=/usr/lib/llvm-14/bin/llvm-symbolizer
[ -x "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH="$symbolizer"

echo "== the test suite under AddressSanitizer and UndefinedBehaviorSanitizer"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$SAN_DIR" --output-on-failure --timeout 900 -j "$(nproc)"

[ "$fuzz_seconds" -gt 0 ] || exit 0
findings="$SAN_DIR/fuzz-findings"
mkdir -p "$findings"
work="$(mktemp -d "${TMPDIR:-/tmp}/evenfall-fuzz.XXXXXX")"
trap 'rm -rf "$work"' EXIT
# One target per core at a time; each writes new inputs to a scratch corpus and only reads the seeds.
fuzz() {
    local target="$1"
    mkdir -p "$work/$target"
    "$SAN_DIR/fuzz/fuzz_$target" -max_total_time="$fuzz_seconds" -timeout=20 -rss_limit_mb=4096 \
        -dict="$ROOT/fuzz/chatlog.dict" -artifact_prefix="$findings/${target}-" -print_final_stats=1 \
        "$work/$target" "$ROOT/fuzz/corpus/$target" >"$work/$target.log" 2>&1
}
targets=(line_parser loader wine_registry chat_text regex)
at_once=$(nproc)
echo "== fuzzing ${targets[*]}: ${fuzz_seconds} s each, ${at_once} at a time"
failed=()
for ((first = 0; first < ${#targets[@]}; first += at_once)); do
    batch=("${targets[@]:first:at_once}")
    pids=()
    for target in "${batch[@]}"; do
        fuzz "$target" &
        pids+=($!)
    done
    for i in "${!batch[@]}"; do
        target="${batch[$i]}"
        if ! wait "${pids[$i]}"; then
            failed+=("fuzz_$target")
            tail -n 60 "$work/$target.log" >&2
        fi
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$target.log")
        seconds=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$work/$target.log")
        echo "fuzz_$target: ${runs:-?} executions in ${seconds:-?} s"
    done
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "Findings in: ${failed[*]}; the inputs are in $findings" >&2
    exit 1
fi
echo "Sanitizers and fuzzing: clean"
