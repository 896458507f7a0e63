#!/usr/bin/env bash
# The Windows ZIP, made by CPack from this build (or the ZIP named by
# PARLINO_PACKAGE_ZIP), read as a Windows PC shows it: README.txt straight
# inside the folder Explorer's "Extract All" makes; bin\ParlinoChat.exe and
# bin\parlino.exe, and lib\Parlino.dll; every text file with
# CR LF line ends; the examples as .txt, none as .pub; each .txt at the top plain text
# (no **, ](, \| or |---); every text file but the web pages, the examples
# and the header included, at most 78 columns wide, as Notepad shows it
# without word wrap; CHANGELOG.txt opening with the ZIP's version and its
# date; each guide one web page whose links and pictures lead to files and
# headings inside the ZIP; and each `parlino run` command of the documents
# it is made from, typed in the ZIP's folder the command is written for,
# finds its file (under wine).
# Usage: check_package.sh BUILD_FOLDER WINE_RUN DOCUMENT... -- GUIDE...
#   DOCUMENT  the Markdown sources of the ZIP's README and guides
set -euo pipefail
build=$1 wine_run=$2
shift 2
documents=()
while [[ $1 != -- ]]; do documents+=("$(cd "$(dirname "$1")" && pwd)/${1##*/}"); shift; done
shift
tests=$(cd "$(dirname "$0")/.." && pwd)
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [[ -n ${PARLINO_PACKAGE_ZIP:-} ]]; then
    cp "$PARLINO_PACKAGE_ZIP" "$work"
else
    (cd "$build" && cpack -G ZIP -B "$work" >"$work/cpack.out" 2>&1) || fail "cpack: $(cat "$work/cpack.out")"
fi
zip=$(echo "$work"/*.zip)
mkdir "$work/unpacked" && cd "$work/unpacked" && cmake -E tar xf "$zip"
top=.
[[ -f README.txt ]] || fail "no README.txt at the top of the ZIP: Extract All would nest $(ls)"

while IFS= read -r -d '' file; do
    grep -qI . "$file" || continue
    ! LC_ALL=C awk '!/\r$/ { print FILENAME ":" FNR ": a line end without CR"; bad = 1; exit } END { exit !bad }' "$file" >&2 ||
        fail "$file has LF line ends"
done < <(find . -type f -print0)
# The programs beside each other in bin, the module where they look for it.
for file in bin/ParlinoChat.exe bin/parlino.exe lib/Parlino.dll; do
    [[ -f $file ]] || fail "no $file in the ZIP"
done
[[ -z $(find . -name '*.pub') ]] || fail "an example ends in .pub: $(find . -name '*.pub')"
ls examples/*.txt >/dev/null 2>&1 || fail "no example publication as .txt"
version=$(basename "$zip" | sed -E 's/^Parlino-(.*)-win32\.zip$/\1/')
first=$(tr -d '\r' <CHANGELOG.txt | grep -m1 -E '^(Unreleased|[0-9.]+ \(|[0-9.]+$)' || true)
[[ $first =~ ^$version\ \([0-9]{4}-[0-9]{2}-[0-9]{2}\)$ ]] ||
    fail "CHANGELOG.txt opens with \"$first\", not the ZIP's version $version and its date"

while IFS= read -r -d '' text; do
    ! grep -nF -e '**' -e '](' -e '\|' -e '|---' "$text" >&2 || fail "$text holds Markdown"
done < <(find "$top" -maxdepth 1 -name '*.txt' -print0)
texts=0
while IFS= read -r -d '' text; do
    grep -qI . "$text" || continue
    texts=$((texts + 1))
    ! tr -d '\r' <"$text" | awk 'length > 78 { print FILENAME ": " FNR ": " $0; bad = 1 } END { exit !bad }' >&2 ||
        fail "$text has lines over 78 columns"
done < <(find "$top" -type f ! -name '*.html' -print0)

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
bash "$tests/docs/check_commands.sh" zip "$PWD" "$PWD/bin/parlino.exe" "$wine_run" -- "${documents[@]}" >"$work/commands.out" 2>&1 ||
    fail "$(cat "$work/commands.out")"
echo "package: $texts text files within 78 columns; $(tail -1 "$work/commands.out")"
echo "package: one folder level, CR LF throughout, examples as .txt, changelog of $version, plain text for Notepad, one web page per guide ($#), every link and picture inside"
