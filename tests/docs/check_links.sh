#!/usr/bin/env bash
# Every relative link in every Markdown file of the repository leads to a
# file or folder that exists: [text](path), ![picture](path) and
# [name]: path, outside code blocks and code spans; a #heading after a
# Markdown file's path, or alone, names one of that file's headings (as
# GitHub makes their anchors). Web and mail links are not followed.
# Usage: check_links.sh REPOSITORY_ROOT
set -euo pipefail
root=$(cd "$1" && pwd)
failures=0 checked=0
# The anchors of a Markdown file's headings: lower case, punctuation other
# than "-" and "_" dropped, blanks made "-".
anchors() {
    awk '/^[[:space:]]*(```|~~~)/ { fenced = !fenced; next }
        !fenced && /^#+[[:space:]]/ {
            heading = tolower($0)
            sub(/^#+[[:space:]]+/, "", heading)
            gsub(/[^a-z0-9 _-]/, "", heading)
            gsub(/ /, "-", heading)
            print heading
        }' "$1"
}
while IFS= read -r -d '' file; do
    folder=$(dirname "$file")
    while IFS= read -r target; do
        target=${target%% *}
        anchor=''
        [[ $target != *#* ]] || anchor=${target#*#}
        target=${target%%#*}
        case $target in
        *://* | mailto:*) continue ;;
        '') path=$file ;;
        /*) path=$root$target ;;
        *) path=$folder/$target ;;
        esac
        checked=$((checked + 1))
        if [[ ! -e $path ]]; then
            echo "FAIL: ${file#"$root"/}: no such file: $target" >&2
            failures=$((failures + 1))
        elif [[ -n $anchor && $path == *.md ]] && ! anchors "$path" | grep -qxF -- "$anchor"; then
            echo "FAIL: ${file#"$root"/}: no heading for #$anchor in ${target:-this page}" >&2
            failures=$((failures + 1))
        fi
    done < <(awk '
        /^[[:space:]]*(```|~~~)/ { fenced = !fenced; next }
        fenced { next }
        {
            line = $0
            gsub(/`[^`]*`/, "", line)
            if (match(line, /^[[:space:]]*\[[^]]+\]:[[:space:]]+[^[:space:]]+/)) {
                reference = substr(line, RSTART, RLENGTH)
                sub(/^[^]]*\]:[[:space:]]+/, "", reference)
                sub(/^</, "", reference); sub(/>$/, "", reference)
                print reference
            }
            while (match(line, /\]\([^)]*\)/)) {
                target = substr(line, RSTART + 2, RLENGTH - 3)
                sub(/^</, "", target); sub(/>$/, "", target)
                print target
                line = substr(line, RSTART + RLENGTH)
            }
        }' "$file")
done < <(find "$root" \( -name .git -o -name build -o -name out -o -name node_modules \) -prune -o \
    -type f -name '*.md' -print0)
if ((failures > 0)); then
    echo "$failures of $checked relative links lead nowhere" >&2
    exit 1
fi
echo "links: all $checked relative links resolve"
