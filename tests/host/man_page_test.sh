#!/usr/bin/env bash
# The manual page parlino(1) renders with man(1) without roff warnings in
# an 80-column terminal and tells what the host's own help tells: each
# command has its part of COMMANDS, each option of any --help heads an entry
# of OPTIONS or COMMANDS, each key of the chat's key list heads an entry of
# KEYS, and each exit code of the help one of EXIT STATUS. The page names no
# folder of the machine that built it; given the folder a package was
# installed or unpacked into, every file the page names is there (absolute
# paths below that folder, ./ paths from it).
# Usage: man_page_test.sh PARLINO PARLINO.1[.gz] [PACKAGE_ROOT]
set -euo pipefail
parlino=$1 page=$2 root=${3:-}
fail() {
    echo "FAIL: ${page##*/}: $*" >&2
    exit 1
}
[[ -s $page ]] || fail "no manual page at $page"
command -v man >/dev/null || fail "man is not installed (scripts/setup.sh installs man-db)"
work=$(mktemp -d "${TMPDIR:-/tmp}/parlino-man-page.XXXXXX")
trap 'rm -rf "$work"' EXIT
if [[ $page == *.gz ]]; then zcat "$page"; else cat "$page"; fi >"$work/page.1"
source=$work/page.1
rendered=$(MANWIDTH=80 man --warnings -l "$source" 2>"$work/warnings" | col -bx) || fail "man -l cannot render it"
[[ ! -s $work/warnings ]] || fail "roff warnings: $(cat "$work/warnings")"
! awk 'length > 80 { print FNR ": " $0; bad = 1 } END { exit !bad }' <<<"$rendered" >&2 ||
    fail "lines over 80 columns at MANWIDTH=80"
grep -qF "parlino $("$parlino" --version | awk '{print $NF}')" <<<"$rendered" ||
    fail "the page does not give the host's version"
[[ $(grep -oE "reference +host +of +the +Parlino" <<<"$rendered" | wc -l) -eq 1 ]] ||
    fail "DESCRIPTION repeats the NAME line"

# The heads of the entries (.TP) of the sections from FIRST up to the next
# one after LAST, without their fonts.
entry_heads() { # FIRST LAST
    awk -v first="$1" -v last="$2" '
        /^\.SH / { name = $0; sub(/^\.SH +/, "", name); gsub(/"/, "", name)
                   if (name == first) on = 1; else if (done) on = 0; if (name == last) done = 1; next }
        on && head { print; head = 0 }
        on && /^\.TP/ { head = 1 }' "$source" |
        sed -E 's/\\f[BIRP]//g; s/\\-/-/g; s/\\&//g; s/^\.[BI]R? //; s/"//g'
}
options=$(entry_heads OPTIONS COMMANDS)
keys=$(entry_heads KEYS KEYS)

# Files: no folder of the build machine, nor of the packaging's staging;
# in a package, each file named where the page says.
build=$(cd "$(dirname "$parlino")/.." && pwd)
! grep -nF -e "$build" -e _CPack_Packages "$source" >&2 || fail "the page names a folder of the machine that built it"
if [[ -n $root ]]; then
    paths=$(sed -n '/^\.SH FILES/,$p' "$source" | sed -E 's/\\f[BIRP]//g; s/\\&//g' |
        grep -oE '(^|[ ])\.?/[A-Za-z0-9._/-]+' | sed 's/^ //' | sort -u)
    [[ -n $paths ]] || fail "FILES, EXAMPLES and SEE ALSO name no file"
    for path in $paths; do
        case $path in
        ./*) [[ -e $root/${path#./} ]] || fail "it names $path, which is not in the package" ;;
        /*) [[ -e $root$path ]] || fail "it names $path, which is not in the package" ;;
        esac
    done
fi

help=$("$parlino" --help)
commands=$(awk 'tolower($0) ~ /^[a-z ]*commands:[[:space:]]*$/ { l = 1; next } l && /^[[:space:]]*$/ { l = 0 }
    l && $1 ~ /^[a-z][a-z-]*$/ { print $1 }' <<<"$help")
[[ -n $commands ]] || fail "parlino --help lists no command"
for command in $commands; do
    grep -qxE "\.SS \"?parlino $command( .*)?\"?" "$source" || fail "COMMANDS has no part for 'parlino $command'"
    help+=$'\n'$("$parlino" "$command" --help)
done
# Every option the help lists, in its Options blocks.
listed=$(awk '/^[A-Za-z ]*[Oo]ptions:/ { l = 1; next } l && !/^ / { l = 0 } l' <<<"$help" |
    grep -oE -- '^ +(-[a-z],)?--[a-z][a-z-]*' | grep -oE -- '--[a-z][a-z-]*' | sort -u)
[[ -n $listed ]] || fail "the help lists no option"
for option in $listed; do
    grep -qE -- "(^|[ ,])$option( |,|$)" <<<"$options" || fail "the help lists $option; no entry of OPTIONS or COMMANDS"
done
# Every key of the chat's key list: the paragraph of its help that starts
# with "Keys".
key_list=$("$parlino" chat --help | awk '/^Keys/ { l = 1 } l && /^[[:space:]]*$/ { exit } l')
key_names=$(grep -oE 'Ctrl-(Left|Right|Up|Down|[A-Z]\b)|Alt-[A-Z]\b|F[0-9]{1,2}\b|/[a-z]+|\b(Left|Right|Up|Down|Home|End|PgUp|PgDn|Page ?Up|Page ?Down|Backspace|Delete|Insert|Tab|Enter|Esc)\b' \
    <<<"$key_list" | sort -u)
[[ -n $key_names ]] || fail "chat --help lists no keys"
for key in $key_names; do
    grep -qE -- "(^|[ ,(])$key([ ,)]|$)" <<<"$keys" || fail "the chat's help names the key $key; no entry of KEYS"
done
# Each exit code the help gives heads an entry of EXIT STATUS.
codes=$(awk 'tolower($0) ~ /^exit codes/ { l = 1 } l && /^[[:space:]]*$/ { l = 0 } l' <<<"$help" |
    grep -oE '(^|[ ;:(])[0-9]{1,3}( |$)' | tr -dc '0-9\n' | sort -un)
status=$(entry_heads "EXIT STATUS" "EXIT STATUS")
[[ -n $codes ]] || fail "parlino --help tells no exit codes"
for code in $codes; do
    grep -qx -- "$code" <<<"$status" || fail "the help gives exit code $code, EXIT STATUS does not"
done
echo "man page: $(wc -l <<<"$rendered") lines of at most 80 columns; commands $(echo $commands), options" \
    "$(echo $listed), keys $(echo $key_names), exit codes $(echo $codes)${root:+; its files in the package}"
