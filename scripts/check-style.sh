#!/usr/bin/env bash
# The house style, checked: every C++ source formatted as .clang-format says, and every name following
# .clang-tidy's naming rules. Run after scripts/test.sh, whose build it reads (compile_commands.json).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_missing_packages run test style
build_project >/dev/null
cd "$ROOT"

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
echo "Formatting: ${#sources[@]} files"
clang-format --dry-run -Werror "${sources[@]}"

echo "Naming: clang-tidy over every translation unit of ours"
# Only our own sources; generated files in the build folder follow moc's names.
run-clang-tidy -p "$BUILD_DIR" -quiet -j "$(nproc)" \
    "^$ROOT/(model|platform|support|merge|app|cli|tools|bench|tests|fuzz|packaging)/" 2>&1 | sed "s/\x1b\[[0-9;]*m//g" >"$BUILD_DIR/clang-tidy.log" || {
    grep -E 'error:|warning:' "$BUILD_DIR/clang-tidy.log" | sort -u >&2
    echo "Naming check failed; the whole report is in $BUILD_DIR/clang-tidy.log" >&2
    exit 1
}
echo "Style: clean"
