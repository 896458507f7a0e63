#!/usr/bin/env bash
# The manual page parlino(1) renders with man(1) without roff warnings and
# tells what the host's own help tells: every command, and every option
# that any --help lists, appear on the page.
# Usage: man_page_test.sh PARLINO PARLINO.1
set -euo pipefail
parlino=$1 page=$2
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
[[ -s $page ]] || fail "no manual page at $page"
command -v man >/dev/null || fail "man is not installed (scripts/setup.sh installs man-db)"
rendered=$(MANWIDTH=100 man --warnings -l "$page" 2>"$page.warnings" | col -b) || fail "man -l cannot render $page"
[[ ! -s $page.warnings ]] || fail "roff warnings: $(cat "$page.warnings")"
rm -f "$page.warnings"
for heading in NAME SYNOPSIS DESCRIPTION COMMANDS EXAMPLES "SEE ALSO"; do
    grep -qx "$heading" <<<"$rendered" || fail "the page has no $heading section"
done
grep -qF "parlino $("$parlino" --version | awk '{print $NF}')" <<<"$rendered" ||
    fail "the page does not give the host's version"
# An installed page must not name the folder the host was built in.
build=$(cd "$(dirname "$parlino")/.." && pwd)
! grep -qF "$build" "$page" || fail "the page names the build folder $build"
grep -qx "EXIT STATUS" <<<"$rendered" || fail "the page has no EXIT STATUS section"
[[ $(grep -oE "(^|[^0-9])0 +done" <<<"$rendered" | wc -l) -eq 1 ]] || fail "the exit codes are told more than once"
[[ $(grep -oE "reference +host +of +the +Parlino" <<<"$rendered" | wc -l) -eq 1 ]] ||
    fail "DESCRIPTION repeats the NAME line"

help=$("$parlino" --help)
commands=$(awk 'tolower($0) ~ /^[a-z ]*commands:[[:space:]]*$/ { l = 1; next } l && /^[[:space:]]*$/ { l = 0 }
    l && $1 ~ /^[a-z][a-z-]*$/ { print $1 }' <<<"$help")
[[ -n $commands ]] || fail "parlino --help lists no command"
for command in $commands; do
    grep -qF "parlino $command" <<<"$rendered" || fail "the page does not describe 'parlino $command'"
    help+=$'\n'$("$parlino" "$command" --help)
done
for option in $(grep -oE -- '--[a-z][a-z-]+' <<<"$help" | sort -u); do
    grep -qF -- "$option" <<<"$rendered" || fail "the help lists $option, the page does not"
done
echo "man page: $(wc -l <<<"$rendered") lines; commands $(echo $commands) and every option of the help"
