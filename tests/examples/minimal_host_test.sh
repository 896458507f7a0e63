#!/usr/bin/env bash
# The minimal C host against the module: its line to its own port, on a
# port free at test time, comes back; a module it cannot load ends it with
# exit code 2 and the system's own reason, which tells a missing file from
# one that is no module.
# Usage: minimal_host_test.sh MINIMAL_HOST MODULE FREE_UDP_PORTS [WINE_RUN]
set -euo pipefail
host=$1 module=$2 free_udp_ports=$3 runner=${4:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/parlino-minimal-host.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    cat "$work/out" >&2 2>/dev/null || true
    exit 1
}
printf 'notes, not a module: %0100d\n' 0 >"$work/notes.txt"
if [[ -n $runner ]]; then
    # Windows' error numbers: 126 no such module, 193 not a program image.
    prefix=Z:
    missing="error 126: " unloadable="error 193: "
else
    prefix=
    missing=": No such file or directory" unloadable=": invalid ELF header"
fi
port=$($runner "$free_udp_ports" 1 | tr -d '\r')
# module | exit code | the output holds
cases=(
    "$prefix$module|0|received: hello from the minimal host"
    "$prefix$work/no-such-folder/${module##*/}|2|$missing"
    "$prefix$work/notes.txt|2|$unloadable"
)
for row in "${cases[@]}"; do
    IFS='|' read -r argument expected text <<<"$row"
    status=0
    $runner "$host" "$argument" "$port" >"$work/out" 2>&1 || status=$?
    ((status == expected)) || fail "minimal_host $argument: exit code $status, expected $expected"
    tr -d '\r' <"$work/out" | grep -qF -- "$text" || fail "minimal_host $argument: no \"$text\" in its output"
done
echo "minimal host: the line came back; a missing module and a file that is none, each with the system's reason"
