#!/usr/bin/env bash
# The `parlino run FILE` commands of the users' documents work where the
# documents say. How a command names the program and the file tells the
# layout it is written for, and the folder it is typed in:
#   parlino run ..\examples\talk.txt        the Windows ZIP, in its bin folder
#   bin\parlino run examples\talk.txt       the Windows ZIP, in its top folder
#   parlino run /usr/share/doc/...          the .deb, anywhere
#   bin/parlino run share/doc/...           the .tar.gz, in its unpacked folder
#   build/linux/parlino run examples/...    the source tree, at its top
# In LAYOUT, each of its commands, typed in its folder, finds its file and
# checks it (`run --check FILE`). With LAYOUT source, a command that fits no
# layout fails too: it names no folder it works from. Commands whose file is
# a placeholder (FILE, NAME.pub) are not commands to try.
# Usage: check_commands.sh LAYOUT ROOT PROGRAM [RUNNER] -- DOCUMENT...
#   ROOT     the layout's top folder: the repository, the folder the .deb was
#            extracted into, the unpacked tarball or ZIP
#   PROGRAM  the parlino of that layout (for the source, the build's)
#   RUNNER   what runs PROGRAM (scripts/windows-run.sh for the ZIP)
set -euo pipefail
layout=$1 root=$2 program=$3
shift 3
runner=()
while [[ $1 != -- ]]; do runner+=("$1"); shift; done
shift
failures=0 checked=0
work=$(mktemp -d "${TMPDIR:-/tmp}/parlino-doc-commands.XXXXXX")
trap 'rm -rf "$work"' EXIT
complain() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# "DOCUMENT<TAB>PROGRAM<TAB>FILE" for every `... run FILE` of a document,
# with lines that go on (ending in ^ or \) joined to the next; a command
# that several documents give is tried once (a program start under wine
# may take seconds).
commands() {
    local document
    for document in "$@"; do
        awk '{ line = $0 }
             /[\^\\]$/ { held = held substr(line, 1, length(line) - 1) " "; next }
             { print held line; held = "" }' "$document" |
            { grep -oE '[^ `|(]*parlino(\.exe)? run( +--?[a-z][a-z-]*)* +[^ `|),;]+' || true; } |
            awk -v document="${document##*/}" '{ print document "\t" $1 "\t" $NF }'
    done | sort -t "$(printf '\t')" -k2,3 -u
}

while IFS=$'\t' read -r document written file; do
    [[ $file == *.txt || $file == *.pub ]] || continue
    folder= path=$file
    case $written in
    parlino | parlino.exe)
        case $file in
        ..\\*) kind=zip folder=$root/bin ;;
        /*) kind=deb folder=$work path=$root$file ;;
        *) kind= ;;
        esac ;;
    'bin\parlino' | 'bin\parlino.exe') kind=zip folder=$root ;;
    bin/parlino | ./bin/parlino) kind=tarball folder=$root ;;
    build/*/parlino) kind=source folder=$root ;;
    *) kind= ;;
    esac
    if [[ -z $kind ]]; then
        [[ $layout != source ]] || complain "$document: '$written run $file' names no folder it works from"
        continue
    fi
    [[ $kind == "$layout" ]] || continue
    checked=$((checked + 1))
    # A Windows program run in the emulated machine sees the whole layout.
    if ! (cd "$folder" && PARLINO_WINDOWS_SHARES=$root "${runner[@]}" "$program" run --check "$path") \
        >"$work/out" 2>&1; then
        complain "$document: '$written run $file', typed in ${folder#"$root"}/ of the $layout layout:" \
            "$(tr -d '\r' <"$work/out")"
    fi
done < <(commands "$@")
((failures == 0)) || exit 1
((checked > 0)) || { echo "FAIL: the documents give no 'parlino run' command for the $layout layout" >&2; exit 1; }
echo "documents' commands: all $checked 'parlino run' commands for the $layout layout find their file"
