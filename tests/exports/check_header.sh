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
# The header's list of export names spells each as the export list does
# (a definition may go on on the next line after a backslash).
named=$(sed -e ':joined' -e '/\\$/{N;s/ *\\\n */ /;b joined' -e '}' "$header" |
    sed -nE -e 's/^#define PARLINO_NAME_([A-Za-z0-9_]+) PARLINO_DECORATED_NAME\(\1, ([0-9]+)\)$/\1 \2 decorated/p' \
        -e 's/^#define PARLINO_NAME_([A-Za-z0-9_]+) "\1"$/\1 plain/p' | sort)
spelt=$(grep -vE '^(#|[[:space:]]*$)' "$list" | awk '{ print $1, ($3 == "plain" ? "plain" : $2 " " $3) }' | sort)
if ! diff <(echo "$spelt") <(echo "$named"); then
    echo "$list and the PARLINO_NAME_ list of $header differ (< listed, > named)" >&2
    exit 1
fi
echo "$(echo "$declared" | wc -l) functions declared, listed and named"
