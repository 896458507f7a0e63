#!/usr/bin/env bash
# Runs COMMAND with wine kept warm in each PREFIX given:
#   bash scripts/windows/warm-wine.sh PREFIX... -- COMMAND [ARGS...]
# Wine starts its system processes (services, device drivers) with the
# first program of a prefix and stops them a few seconds after the last one
# ends. In the emulated machine starting them costs 13-24 s, paid again by
# nearly every program a test starts; with them up a program starts in
# about 2 s. So each prefix gets a program that only waits (cmd reading a
# pipe that never ends), started again whenever a test stops the prefix's
# wine server. Prefixes of tests that show windows on a display of their
# own are not to be given: their server must start with that display.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefixes=()
while [[ $# -gt 0 && $1 != -- ]]; do
    prefixes+=("$1")
    shift
done
[[ $# -gt 1 ]] || { echo "usage: warm-wine.sh PREFIX... -- COMMAND [ARGS...]" >&2; exit 2; }
shift

work=$(mktemp -d "${TMPDIR:-/tmp}/parlino-warm-wine.XXXXXX")
mkfifo "$work/never"
exec 9<>"$work/never"
keepers=()
for prefix in "${prefixes[@]}"; do
    (
        while [[ -e $work/never ]]; do
            WINEPREFIX=$prefix bash "$here/../windows-run.sh" cmd <"$work/never" >/dev/null 2>&1 || true
            sleep 1
        done
    ) &
    keepers+=($!)
done
status=0
"$@" || status=$?
rm -f "$work/never"
for prefix in "${prefixes[@]}"; do
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
done
wait "${keepers[@]}" 2>/dev/null || true
rm -rf "$work"
exit "$status"
