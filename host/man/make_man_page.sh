#!/usr/bin/env bash
# Writes the manual page parlino(1) from the built host's own help, so that
# the page says what the program says: help2man reads `parlino --help` and
# `--version`, each command's own --help becomes a subsection of COMMANDS,
# and parlino.h2m adds what --help does not tell (examples, files, see also).
# Usage: make_man_page.sh PARLINO PARLINO.H2M OUTPUT.1
set -euo pipefail
parlino=$1 extra=$2 output=$3
include=$(mktemp)
trap 'rm -f "$include"' EXIT

# The commands are the first words of the lines under the help's
# "Subcommands:" (or "Commands:") heading, up to the next blank line.
mapfile -t commands < <("$parlino" --help | awk '
    tolower($0) ~ /^[a-z ]*commands:[[:space:]]*$/ { listing = 1; next }
    listing && /^[[:space:]]*$/ { listing = 0 }
    listing && $1 ~ /^[a-z][a-z-]*$/ { print $1 }')

{
    echo '[COMMANDS]'
    for command in "${commands[@]}"; do
        echo ".SS \"parlino $command\""
        echo '.nf'
        # Long lines folded to the page; backslashes and lines starting with a
        # dot or quote mean something to roff.
        "$parlino" "$command" --help | fold -s -w 78 |
            sed -e 's/\\/\\e/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"
        echo '.fi'
    done
    cat "$extra"
} >"$include"

help2man --no-info --no-discard-stderr --section 1 \
    --name 'reference host of the Parlino chat plug-in module' \
    --include "$include" --output "$output" "$parlino"
