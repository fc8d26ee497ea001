#!/usr/bin/env bash
# validate.sh PACKAGE COMMAND ARGUMENT...: runs a validator from the Debian package PACKAGE and fails
# on its failure or on any warning or error it reports; hints and notes pass. Skipped (77) when the
# validator is not installed.
set -uo pipefail
package=$1
shift
if ! command -v "$1" >/dev/null; then
    echo "Skipped: $1 is not installed (Debian package $package)"
    exit 77
fi
output=$(LC_ALL=C.UTF-8 "$@" 2>&1)
status=$?
[ -n "$output" ] && echo "$output"
if [ $status -ne 0 ] || grep -qiE '(^|[^a-z])(warning|error)|^[EW]: ' <<<"$output"; then
    echo "FAILED: $* (exit status $status)"
    exit 1
fi
