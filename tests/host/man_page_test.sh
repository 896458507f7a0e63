#!/usr/bin/env bash
# The manual page parlino(1) renders with man(1) without roff warnings in
# an 80-column terminal, has the sections of a manual page, and tells what
# the host's own help tells: every command, every option, every key and
# every exit code that any --help names appears on the page.
# Usage: man_page_test.sh PARLINO PARLINO.1
set -euo pipefail
parlino=$1 page=$2
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
[[ -s $page ]] || fail "no manual page at $page"
command -v man >/dev/null || fail "man is not installed (scripts/setup.sh installs man-db)"
rendered=$(MANWIDTH=80 man --warnings -l "$page" 2>"$page.warnings" | col -bx) || fail "man -l cannot render $page"
[[ ! -s $page.warnings ]] || fail "roff warnings: $(cat "$page.warnings")"
rm -f "$page.warnings"
! awk 'length > 80 { print FNR ": " $0; bad = 1 } END { exit !bad }' <<<"$rendered" >&2 ||
    fail "lines over 80 columns at MANWIDTH=80"
for heading in NAME SYNOPSIS DESCRIPTION OPTIONS COMMANDS KEYS PUBLICATIONS "EXIT STATUS" FILES EXAMPLES "SEE ALSO"; do
    grep -qx "$heading" <<<"$rendered" || fail "the page has no $heading section"
done
grep -qF "parlino $("$parlino" --version | awk '{print $NF}')" <<<"$rendered" ||
    fail "the page does not give the host's version"
# An installed page must not name the folder the host was built in, and
# names its files by absolute paths.
build=$(cd "$(dirname "$parlino")/.." && pwd)
! grep -qF "$build" "$page" || fail "the page names the build folder $build"
files=$(sed -n '/^FILES$/,/^[A-Z]/p' <<<"$rendered")
grep -qE '^ +/.*/Parlino\.so$' <<<"$files" || fail "FILES gives no absolute path of the module"
for guide in authors-guide host publications; do
    grep -qE "/docs/$guide\.md" <<<"$rendered" || fail "SEE ALSO does not name docs/$guide.md"
done
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
for key in $(grep -oE 'Ctrl-[A-Z]|/quit' <<<"$help" | sort -u); do
    grep -qF -- "$key" <<<"$(sed -n '/^KEYS$/,/^PUBLICATIONS$/p' <<<"$rendered")" ||
        fail "the help names the key $key, KEYS does not"
done
# Each exit code the help gives heads an entry of EXIT STATUS.
status=$(sed -n '/^EXIT STATUS$/,/^FILES$/p' <<<"$rendered")
codes=$(awk 'tolower($0) ~ /^exit codes/ { l = 1 } l && /^[[:space:]]*$/ { l = 0 } l' <<<"$help" |
    grep -oE '(^|[ ;:(])[0-9]{1,3}( |$)' | tr -dc '0-9\n' | sort -un)
[[ -n $codes ]] || fail "parlino --help tells no exit codes"
for code in $codes; do
    grep -qE "^ +$code\$|^ +$code " <<<"$status" || fail "the help gives exit code $code, EXIT STATUS does not"
done
echo "man page: $(wc -l <<<"$rendered") lines of at most 80 columns; commands $(echo $commands)," \
    "every option, key and exit code ($(echo $codes)) of the help"
