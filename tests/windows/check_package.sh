#!/usr/bin/env bash
# The Windows ZIP, made by CPack from this build, read as Notepad and a
# browser show it: every .txt is plain text (no **, ](, \| or |---) of at
# most 78 columns; each guide is one web page whose links and pictures lead
# to files and headings inside the ZIP.
# Usage: check_package.sh BUILD_FOLDER GUIDE...
set -euo pipefail
build=$1
shift
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G ZIP -B "$work" >"$work/cpack.out" 2>&1) || fail "cpack: $(cat "$work/cpack.out")"
mkdir "$work/unpacked" && cd "$work/unpacked" && cmake -E tar xf "$work"/*.zip
top=$(find . -mindepth 1 -maxdepth 1 -type d -print -quit)
[[ -f $top/README.txt ]] || fail "no README.txt at the top of the ZIP"

while IFS= read -r -d '' text; do
    ! grep -nF -e '**' -e '](' -e '\|' -e '|---' "$text" >&2 || fail "$text holds Markdown"
    ! tr -d '\r' <"$text" | awk 'length > 78 { print FNR ": " $0; bad = 1 } END { exit !bad }' >&2 ||
        fail "$text has lines over 78 columns"
done < <(find "$top" -name '*.txt' -print0)

for guide in "$@"; do
    page=$top/docs/$(basename "${guide%.md}").html
    [[ -s $page && ! -e ${page%.html}.md ]] || fail "$guide is not shipped as a web page alone"
    while IFS= read -r target; do
        case $target in
        *://* | mailto:* | data:*) continue ;;
        '#'*) path=$page ;;
        *) path=$(dirname "$page")/${target%%#*} ;;
        esac
        [[ -e $path ]] || fail "$page: $target is not in the ZIP"
        [[ $target != *#* ]] || grep -qF "id=\"${target#*#}\"" "$path" || fail "$page: no heading for $target"
    done < <(grep -oE '(href|src)="[^"]*"' "$page" | sed -E 's/^(href|src)="//; s/"$//')
done
echo "package: plain text for Notepad, one web page per guide ($#), every link and picture inside"
