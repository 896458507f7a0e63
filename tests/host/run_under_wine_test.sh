#!/usr/bin/env bash
# parlino.exe and Parlino.dll under wine: the catalogue, a refused
# publication, two publications talking over loopback, and two chats (the
# Win32 threads: one receives while the other reads the keyboard and sends).
# Arguments: PARLINO_EXE FREE_UDP_PORTS_EXE EXAMPLES_FOLDER WINE_RUN
source "$(dirname "$0")/lib.sh"
stop_wine_server_at_end
wine_run=$4
parlino() { "$wine_run" "$parlino" "$@"; }

parlino info >"$work/info.out" 2>"$work/info.err" || fail "info failed under wine"
for text in "Parlino 1.0.0" "5  QV_chat_close_port  (ACTIONPARAM_ALPHA, 1 parameter)" \
    "QV_chat_send_text\"[remote_ip]|[port]|[text]\""; do
    grep -qF -- "$text" "$work/info.out" || fail "info under wine does not show \"$text\""
done

# The exit codes the help lists are those docs/host-windows.md gives a
# Windows user: no signal that Windows does not have, none left out.
parlino --help >"$work/help.out" 2>"$work/help.err" || fail "--help failed under wine"
codes() { grep -oE '(^|[ ;:(])[0-9]{1,3}( |$)' | tr -dc '0-9\n' | sort -un | tr '\n' ' '; }
help_codes=$(tr -d '\r' <"$work/help.out" | awk '/^Exit codes/, /^$/' | codes)
guide_codes=$(sed -n '/^## Exit codes/, /^## [^E]/p' "$examples/../docs/host-windows.md" | sed -n 's/^| \([0-9]*\) |.*/ \1 /p' | codes)
[[ -n $help_codes && $help_codes == "$guide_codes" ]] ||
    fail "the help under wine gives the exit codes $help_codes, docs/host-windows.md $guide_codes"

printf 'print first\nQV_chat_sendtext 1|2|3\n' >"$work/faulty.pub"
status=0
parlino run "$work/faulty.pub" >"$work/faulty.out" 2>"$work/faulty.err" || status=$?
[[ $status -eq 4 ]] || fail "a faulty publication gave exit code $status under wine, expected 4"
grep -qF 'faulty.pub:2: unknown action or command "QV_chat_sendtext"' "$work/faulty.err" ||
    fail "the faulty line was not named"
[[ ! -s $work/faulty.out ]] || fail "a faulty publication ran under wine"

# The deepest nesting the check accepts runs on the main thread's smaller
# stack; one level more is refused with its line.
deep() { # LEVELS FILE
    local level
    for ((level = 0; level < $1; level++)); do printf 'repeat 1\n'; done >"$2"
    printf 'print at the bottom\n' >>"$2"
    for ((level = 0; level < $1; level++)); do printf 'end\n'; done >>"$2"
}
deep 100 "$work/deepest.pub"
parlino run "$work/deepest.pub" >"$work/deepest.out" 2>"$work/deepest.err" || fail "the deepest nesting did not run under wine"
grep -qF "at the bottom" "$work/deepest.out" || fail "the deepest nesting did not reach its bottom under wine"
deep 15000 "$work/deep.pub"
status=0
parlino run "$work/deep.pub" >"$work/deep.out" 2>"$work/deep.err" || status=$?
[[ $status -eq 4 ]] || fail "15000 nested blocks gave exit code $status under wine, expected 4"
grep -qF "deep.pub:101: blocks nest more than 100 levels deep" "$work/deep.err" || fail "the nesting limit was not named"

mapfile -t ports < <("$wine_run" "$free_udp_ports" 2 | tr -d '\r')
start_conversation ann parlino --set my_port="${ports[0]}" --set peer_port="${ports[1]}" \
    --set lines=5 --set pace=50
start_conversation bob parlino --set my_port="${ports[1]}" --set peer_port="${ports[0]}" \
    --set lines=5 --set pace=50
expect_all_succeed 120
said_equals_heard "$work/ann.out" "$work/bob.out" 5
said_equals_heard "$work/bob.out" "$work/ann.out" 5
# The authors' guide's publication twice, called by the examples' old name
# (guide-chat.pub reads guide-chat.txt): a line goes each way.
for side in 0 1; do
    parlino run "$examples/guide-chat.pub" --set my_port="${ports[side]}" --set peer_port="${ports[1 - side]}" \
        --set typed_line="hello from $side" --set tick_ms=200 \
        >"$work/guide$side.out" 2>"$work/guide$side.err" &
    started_pids+=($!)
done
expect_all_succeed 120
grep -q "^< hello from 1" "$work/guide0.out" && grep -q "^< hello from 0" "$work/guide1.out" ||
    fail "the guide's two copies did not each hear the other under wine"
mapfile -t ports < <("$wine_run" "$free_udp_ports" 2 | tr -d '\r')
mkfifo "$work/cid.in" "$work/dan.in"
exec 5<>"$work/cid.in" 6<>"$work/dan.in"
chat() { # NAME PORT PEER_PORT
    parlino chat --port "$2" --peer "127.0.0.1:$3" <"$work/$1.in" >"$work/$1.out" 2>"$work/$1.err" 5>&- 6>&- &
    started_pids+=($!)
}
chat cid "${ports[0]}" "${ports[1]}"
cid=$!
chat dan "${ports[1]}" "${ports[0]}"
dan=$!
wait_for "$work/cid.out" "Type a line" 60
wait_for "$work/dan.out" "Type a line" 60
printf 'hello dan\r\n' >&5
printf 'hello cid\n' >&6
wait_for "$work/dan.out" "] < hello dan" 30
wait_for "$work/cid.out" "] < hello cid" 30
printf '/quit\n' >&5
exec 6>&-
for pid in "$cid" "$dan"; do
    wait_exit "$pid" 30
    [[ $exit_status -eq 0 ]] || fail "a chat under wine ended with exit code $exit_status"
done
grep -qF "port ${ports[0]} closed" "$work/cid.out" || fail "/quit did not close the port under wine"
grep -qF "port ${ports[1]} closed" "$work/dan.out" || fail "the end of input did not close the port under wine"
echo "under wine: info, a refused publication, the deepest nesting, 5 lines each way, the guide's publication both ways, a chat both ways"
