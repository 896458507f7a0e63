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
numbers=$(sed -n 's/^ *[a-zA-Z]* = \([0-9]*\),$/\1/p' "$root/chat/error_texts.h" | grep -vx 0)
[[ -n $numbers ]] || { echo "FAIL: no error numbers found in chat/error_texts.h" >&2; exit 1; }
for number in $numbers; do
    text=$(sed -n "s/^ *{$number, \"\\(.*\\)\"},\$/\\1/p" "$root/chat/error_texts.cpp" | head -n1)
    [[ -n $text ]] || { echo "FAIL: no text for error number $number" >&2; exit 1; }
    if ((number == 24)); then
        continue # a receive's time-out: never shown, the text only becomes empty
    fi
    expect "\"$text on 40001\""
    # The send's box: only the numbers a send can end with.
    case $number in 52 | 57 | 70) expect "\"$text\" / \"Error: $number.\"" ;; esac
done
expect '"Choose another local port,"'
for variable in $(grep -o '"qv_chat_[a-z_]*"' "$root/chat/chat_actions.cpp" | tr -d '"' | sort -u); do
    expect "\`$variable\`"
done
expect "firewall"
((failures == 0)) || exit 1
echo "authors' guide: every message text ($(echo $numbers)) and variable named"
