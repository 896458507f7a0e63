#!/usr/bin/env bash
# Compares the functions the public header declares with the export list, so
# that a function added to one is added to the other.
# Usage: check_header.sh parlino.h exports.txt
set -euo pipefail
header=$1 list=$2
declared=$(grep -oE 'PARLINO_CALL [A-Za-z_][A-Za-z0-9_]*\(' "$header" | sed 's/^PARLINO_CALL //; s/($//' | sort)
listed=$(grep -vE '^(#|[[:space:]]*$)' "$list" | awk '{print $1}' | sort)
if ! diff <(echo "$listed") <(echo "$declared"); then
    echo "$list and $header differ (< listed, > declared)" >&2
    exit 1
fi
echo "$(echo "$declared" | wc -l) functions declared and listed"
