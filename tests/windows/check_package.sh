#!/usr/bin/env bash
# The Windows ZIP as a Windows user opens it: CPack makes it from this
# build, and the unpacked files are read the way Notepad and a browser show
# them. Every .txt is plain text (no Markdown: **, ](, \|, |---) of lines of
# at most 78 columns; each guide is one web page whose links and pictures
# lead to files (and headings) inside the ZIP.
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
(cd "$build" && cpack -G ZIP -B "$work/made" >"$work/cpack.out" 2>&1) || fail "cpack: $(cat "$work/cpack.out")"
zip=$(find "$work/made" -maxdepth 1 -name '*.zip' -print -quit)
[[ -n $zip ]] || fail "cpack made no ZIP"
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip")
top=$(find "$work/unpacked" -mindepth 1 -maxdepth 1 -type d -print -quit)
[[ -f $top/README.txt ]] || fail "no README.txt at the top of the ZIP"

texts=0
while IFS= read -r -d '' text; do
    name=${text#"$top"/}
    texts=$((texts + 1))
    if grep -nF -e '**' -e '](' -e '\|' -e '|---' "$text" >"$work/markdown"; then
        fail "$name holds Markdown: $(head -3 "$work/markdown")"
    fi
    long=$(tr -d '\r' <"$text" | awk 'length > 78 { print FNR ": " $0; exit }')
    [[ -z $long ]] || fail "$name has a line over 78 columns: $long"
done < <(find "$top" -name '*.txt' -print0)

pages=0
for guide in "$@"; do
    page=$top/docs/$(basename "${guide%.md}").html
    [[ -s $page ]] || fail "no web page for $guide"
    [[ ! -e ${page%.html}.md ]] || fail "${guide##*/} is shipped as Markdown too"
    pages=$((pages + 1))
    while IFS= read -r target; do
        case $target in
        *://* | mailto:* | data:*) continue ;;
        '#'*) path=$page ;;
        *) path=$(dirname "$page")/${target%%#*} ;;
        esac
        [[ -e $path ]] || fail "${page#"$top"/}: $target is not in the ZIP"
        if [[ $target == *#* ]]; then
            grep -qF "id=\"${target#*#}\"" "$path" || fail "${page#"$top"/}: no heading for $target"
        fi
    done < <(grep -oE '(href|src)="[^"]*"' "$page" | sed -E 's/^(href|src)="//; s/"$//')
done
echo "package: $texts plain-text files, $pages web pages, every link and picture inside the ZIP"
