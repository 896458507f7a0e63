#!/usr/bin/env bash
# parlino.exe check under wine against a Linux parlino check over loopback:
# both judge that lines cross both ways (exit code 0), and the Linux side
# heard the probes of a Windows check. Where the Linux build's parlino
# cannot run (not built, or the emulated machine lacks its libraries), a
# second parlino.exe is the peer, and the test says so.
# Arguments: PARLINO_EXE FREE_UDP_PORTS_EXE EXAMPLES_FOLDER WINE_RUN LINUX_PARLINO
source "$(dirname "$0")/lib.sh"
stop_wine_server_at_end
wine_run=$4 linux_parlino=$5
windows_check() { "$wine_run" "$parlino" check "$@"; }
if "$linux_parlino" --version >/dev/null 2>&1; then
    peer_check() { "$linux_parlino" check "$@"; }
    peer="a Linux parlino check"
else
    peer_check() { windows_check "$@"; }
    peer="a second parlino.exe check (no Linux parlino runs here: $linux_parlino)"
fi

mapfile -t ports < <("$wine_run" "$free_udp_ports" 2 | tr -d '\r')
windows_check --port "${ports[0]}" --peer "127.0.0.1:${ports[1]}" --seconds 2 \
    >"$work/windows.out" 2>"$work/windows.err" &
started_pids+=($!)
peer_check --port "${ports[1]}" --peer "127.0.0.1:${ports[0]}" --seconds 2 >"$work/peer.out" 2>"$work/peer.err" &
started_pids+=($!)
for pid in "${started_pids[@]}"; do
    wait_exit "$pid" 120
    [[ $exit_status -eq 0 ]] || fail "a check ended with exit code $exit_status, not 0 (both ways)"
done
grep -qE "^heard: [0-9]+ probes? from 127\.0\.0\.1:${ports[0]} \(windows\)" <(tr -d '\r' <"$work/peer.out") ||
    fail "the peer did not hear the probes of the Windows check"
echo "under wine: parlino.exe check and $peer judged that lines cross both ways"
