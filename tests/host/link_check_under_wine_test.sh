#!/usr/bin/env bash
# parlino.exe check under wine against a Linux parlino check over loopback:
# both judge that lines cross both ways (exit code 0), and the Linux side
# heard the probes of a Windows check. So does /check in parlino.exe chat
# against a check of the peer's: its last check: line is that verdict. Where the Linux build's parlino
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

mapfile -t ports < <("$wine_run" "$free_udp_ports" 4 | tr -d '\r')
mkfifo "$work/chat.in"
exec 3<>"$work/chat.in"
"$wine_run" "$parlino" chat --port "${ports[2]}" --peer "127.0.0.1:${ports[3]}" <"$work/chat.in" \
    >"$work/chat.out" 2>"$work/chat.err" 3>&- &
chat_pid=$!
extra_cleanup+='; kill "$chat_pid" 2>/dev/null'
windows_check --port "${ports[0]}" --peer "127.0.0.1:${ports[1]}" --seconds 2 \
    >"$work/windows.out" 2>"$work/windows.err" 3>&- &
started_pids+=($!)
peer_check --port "${ports[1]}" --peer "127.0.0.1:${ports[0]}" --seconds 2 >"$work/peer.out" 2>"$work/peer.err" 3>&- &
started_pids+=($!)
wait_for "$work/chat.out" "Type a line" 120
peer_check --port "${ports[3]}" --peer "127.0.0.1:${ports[2]}" --seconds 2 >"$work/chat-peer.out" \
    2>"$work/chat-peer.err" 3>&- &
started_pids+=($!)
printf '/check\n' >&3
for pid in "${started_pids[@]}"; do
    wait_exit "$pid" 120
    [[ $exit_status -eq 0 ]] || fail "a check ended with exit code $exit_status, not 0 (both ways)"
done
wait_for "$work/chat.out" "check: Lines cross both ways" 60
printf '/quit\n' >&3
started_pids=("$chat_pid")
wait_exit "$chat_pid" 60
[[ $exit_status -eq 0 ]] || fail "parlino.exe chat ended with exit code $exit_status after /quit, not 0"
[[ $(tr -d '\r' <"$work/chat.out" | grep '^check: ' | tail -n 1) == "check: Lines cross both ways"* ]] ||
    fail "the last check: line of parlino.exe chat is not the both-ways verdict"
grep -qE "^heard: [0-9]+ probes? from 127\.0\.0\.1:${ports[0]} \(windows\)" <(tr -d '\r' <"$work/peer.out") ||
    fail "the peer did not hear the probes of the Windows check"
echo "under wine: parlino.exe check and $peer judged that lines cross both ways; so did /check in parlino.exe chat"
