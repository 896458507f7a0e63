#!/usr/bin/env bash
# Compares the names a built module really exports, read from the binary,
# with the expected names CMake writes from plugin/exports.txt.
# Usage: check_exports.sh MODULE EXPECTED_LIST
set -euo pipefail
module=$1 expected=$2
case "$module" in
*.dll)
    actual=$(i686-w64-mingw32-objdump -p "$module" |
        sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort)
    ;;
*)
    actual=$(nm -D --defined-only "$module" | awk '{print $3}' | sort)
    ;;
esac
if ! diff <(sort "$expected") <(echo "$actual"); then
    echo "export table of $module differs from $expected (< expected, > actual)" >&2
    exit 1
fi
echo "$(echo "$actual" | wc -l) exports match"
