#!/usr/bin/env bash
# Writes the manual page parlino(1) from the built host's own help, so that
# the page says what the program says: help2man reads `parlino --help` and
# `--version`, each command's own --help becomes a subsection of COMMANDS,
# and parlino.h2m adds what --help does not tell (examples, files, see also).
# Usage: make_man_page.sh PARLINO PARLINO.H2M OUTPUT.1
set -euo pipefail
parlino=$1 extra=$2 output=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
include=$scratch/include.h2m

# Every --help closes with the exit codes: the page tells them once, in
# EXIT STATUS, and the help it quotes goes without them.
without_exit_codes() { sed '/^Exit codes:/,$d'; }
exit_codes=$("$parlino" --help | sed -n 's/^Exit codes: //p')
[[ -n $exit_codes ]] || { echo "parlino --help tells no exit codes" >&2; exit 1; }

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
        "$parlino" "$command" --help | without_exit_codes | fold -s -w 78 |
            sed -e 's/\\/\\e/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"
        echo '.fi'
    done
    echo '[EXIT STATUS]'
    echo "$exit_codes"
    cat "$extra"
} >"$include"

# help2man runs the program under the name the page is for. The help's
# first line, "parlino - ...", is already the page's NAME, so DESCRIPTION
# starts without it.
cat >"$scratch/parlino" <<EOF
#!/usr/bin/env bash
if [[ \$1 == --help ]]; then
    "$parlino" --help | sed '1{/^parlino - /d}' | sed '/^Exit codes:/,\$d'
else
    exec "$parlino" "\$@"
fi
EOF
chmod +x "$scratch/parlino"
help2man --no-info --no-discard-stderr --section 1 \
    --name 'reference host of the Parlino chat plug-in module' \
    --include "$include" --output "$output" "$scratch/parlino"
