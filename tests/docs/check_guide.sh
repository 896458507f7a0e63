#!/usr/bin/env bash
# The authors' guide names everything the module can show or set: the text
# of every error number the endpoint produces (the ErrorNumber enum), the
# open's first line, and every host variable, as the sources have them.
# Usage: check_guide.sh REPOSITORY_ROOT
set -euo pipefail
root=$1
guide=$root/docs/authors-guide.md
failures=0
expect() {
    grep -qF -- "$1" "$guide" || { echo "FAIL: the authors' guide does not name $1" >&2; failures=$((failures + 1)); }
}
# The error numbers the endpoint produces: the names of the error table that
# chat/endpoint.cpp uses.
table=$(sed -n 's/^ *XX(\([0-9]*\), \([a-zA-Z]*\), "\(.*\)")  *\\$/\1|\2|\3/p' "$root/chat/error_texts.h")
[[ -n $table ]] || { echo "FAIL: no error table found in chat/error_texts.h" >&2; exit 1; }
numbers=
while IFS='|' read -r number name text; do
    ((number != 0)) || continue
    grep -qw "$name" "$root/chat/endpoint.cpp" || continue
    numbers+=" $number"
    if ((number == 24)); then
        continue # a receive's time-out: never shown, the text only becomes empty
    fi
    expect "\"$text on 40001\""
    # The send's box: only the numbers a send can end with.
    case $number in 52 | 57 | 70) expect "\"$text\" / \"Error: $number.\"" ;; esac
done <<<"$table"
[[ -n $numbers ]] || { echo "FAIL: chat/endpoint.cpp uses no error number" >&2; exit 1; }
expect '"Choose another local port,"'
for variable in $(grep -o '"qv_chat_[a-z_]*"' "$root/plugin/chat_actions.cpp" | tr -d '"' | sort -u); do
    expect "\`$variable\`"
done
expect "firewall"
((failures == 0)) || exit 1
echo "authors' guide: every message text (${numbers# }) and variable named"
