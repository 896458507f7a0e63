#!/usr/bin/env bash
# Prints how Windows programs run on this machine: "native" (32-bit wine runs
# here) or "emulated" (inside the emulated machine of guest-run.sh).
# PARLINO_WINDOWS=native|emulated forces a route.
#
# A 32-bit probe is started and, while it waits, the kernel is asked which
# program the process runs: an emulator registered with binfmt_misc shows up
# there instead of the probe, and a kernel without 32-bit support refuses to
# start it at all. Either way the route is "emulated". The answer is kept
# for the machine's current boot.
set -euo pipefail
case ${PARLINO_WINDOWS:-} in
native | emulated) echo "$PARLINO_WINDOWS"; exit 0 ;;
'') ;;
*) echo "route: PARLINO_WINDOWS must be native or emulated, not '$PARLINO_WINDOWS'" >&2; exit 2 ;;
esac
here=$(cd "$(dirname "$0")" && pwd)
boot=$(cat /proc/sys/kernel/random/boot_id 2>/dev/null || echo unknown)
known=${TMPDIR:-/tmp}/parlino-windows-route.$(id -u).$boot
if [[ -s $known ]]; then
    cat "$known"
    exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/parlino-route.XXXXXX")
probe_pid=''
trap '[[ -z $probe_pid ]] || kill "$probe_pid" 2>/dev/null || true; rm -rf "$work"' EXIT
as --32 -o "$work/probe32.o" "$here/probe32.s"
ld -m elf_i386 -o "$work/probe32" "$work/probe32.o"

route=emulated
mkfifo "$work/go"
exec 7<>"$work/go"
"$work/probe32" <&7 2>/dev/null &
probe_pid=$!
program=''
for _ in $(seq 200); do
    program=$(readlink "/proc/$probe_pid/exe" 2>/dev/null) || { program=''; break; }
    [[ $program == "$BASH" || $program == "$(readlink -f "$BASH")" ]] || break
    sleep 0.01
done
echo >&7
status=0
wait "$probe_pid" || status=$?
probe_pid=''
if [[ $program == "$work/probe32" && $status -eq 42 ]]; then
    route=native
fi
echo "$route" >"$known.$$" && mv "$known.$$" "$known"
echo "$route"
