#!/usr/bin/env bash
# /check in `parlino chat`, over loopback, each chat typed to through a
# pipe: against a `parlino check` on the other port, and between two chats
# that both type it (the second after the first one's probes have reached
# it), lines cross both ways, as each side's verdict says; with nothing on
# the other port the verdict is that no program holds it. Probes are never
# shown as lines of the conversation, a line typed during a check is still
# sent, and /quit and Ctrl-C end a chat at once during a check, its port
# closed; Ctrl-C ends a parlino check at once with 130.
source "$(dirname "$0")/lib.sh"

mapfile -t ports < <("$free_udp_ports" 12)
names=(ann bob cid dan eve fay)
for name in "${names[@]}"; do
    mkfifo "$work/$name.in"
done
# The test holds each pipe open for writing (and reading, so that opening
# it does not block); each chat gets only its own pipe as standard input.
exec 3<>"$work/ann.in" 4<>"$work/bob.in" 5<>"$work/cid.in" 6<>"$work/dan.in" 7<>"$work/eve.in" 8<>"$work/fay.in"
chat() { # NAME PORT PEER_PORT
    "$parlino" chat --port "$2" --peer "127.0.0.1:$3" <"$work/$1.in" >"$work/$1.out" 2>"$work/$1.err" \
        3>&- 4>&- 5>&- 6>&- 7>&- 8>&- &
    started_pids+=($!)
}
# The last line a chat's check said: its verdict.
verdict_of() { grep '^check: ' "$work/$1.out" | tail -n 1; }
no_probe_shown() {
    ! grep -q '< parlino check probe' "$work/$1.out" || fail "$1 showed a probe as a line of the conversation"
}

# ann checks against a parlino check; bob and cid check each other; dan
# checks a port where nothing runs; eve and fay leave during a check.
"$parlino" check --port "${ports[1]}" --peer "127.0.0.1:${ports[0]}" --seconds 3 \
    >"$work/check.out" 2>"$work/check.err" 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- &
started_pids+=($!)
check_pid=$!
chat ann "${ports[0]}" "${ports[1]}"
chat bob "${ports[2]}" "${ports[3]}"
chat cid "${ports[3]}" "${ports[2]}"
chat dan "${ports[4]}" "${ports[5]}"
eve_port=${ports[6]} fay_port=${ports[7]}
chat eve "$eve_port" "${ports[8]}"
eve=$!
chat fay "$fay_port" "${ports[9]}"
fay=$!
for name in "${names[@]}"; do
    wait_for "$work/$name.out" "Type a line"
done

printf '/check\n' >&3
printf '/check\n' >&4
printf '/check\n' >&6
printf '/check\n' >&7
printf '/check\n' >&8
wait_for "$work/ann.out" "check: a check answers from 127.0.0.1:${ports[1]}"
printf 'typed during the check\n' >&3
# cid is told of bob's probes before it answers them.
wait_for "$work/cid.out" "check: a link check at 127.0.0.1:${ports[2]} sends its probes here"
printf '/check\n' >&5

# Leaving during a check is at once, the port closed.
wait_for "$work/eve.out" "check: waiting up to"
wait_for "$work/fay.out" "check: waiting up to"
printf '/quit\n' >&7
kill -INT "$fay"
wait_exit "$eve" 2
[[ $exit_status -eq 0 ]] || fail "/quit during a check ended the chat with $exit_status, expected 0"
wait_exit "$fay" 2
[[ $exit_status -eq 130 ]] || fail "Ctrl-C during a check ended the chat with $exit_status, expected 130"
# Ctrl-C ends parlino check at once too, with the interrupt's exit code,
# not the verdict's.
"$parlino" check --port "${ports[10]}" --peer "127.0.0.1:${ports[11]}" \
    >"$work/stopped.out" 2>"$work/stopped.err" 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- &
started_pids+=($!)
stopped=$!
wait_for "$work/stopped.out" "waiting up to"
kill -INT "$stopped"
wait_exit "$stopped" 3
[[ $exit_status -eq 130 ]] || fail "Ctrl-C during parlino check ended it with $exit_status, expected 130"
for name in eve fay; do
    port_var=${name}_port
    [[ $(tail -n 1 "$work/$name.out") == "port ${!port_var} closed" ]] ||
        fail "$name's port was not closed as its last line when it left during a check"
done

for name in ann bob cid; do
    wait_for "$work/$name.out" "check: Lines cross both ways" 20
    [[ $(verdict_of $name) == "check: Lines cross both ways"* ]] ||
        fail "$name's check did not end with the both-ways verdict: $(verdict_of $name)"
    no_probe_shown $name
done
wait_exit "$check_pid" 20
[[ $exit_status -eq 0 ]] || fail "parlino check against ann's /check ended with $exit_status, expected 0"
grep -qE "^heard: [0-9]+ probes? from 127\.0\.0\.1:${ports[0]} " "$work/check.out" ||
    fail "parlino check did not hear the probes of ann's /check"
grep -qx "other lines: 1 that is no probe" "$work/check.out" || fail "the line ann typed during the check was not sent"
# bob heard cid's probes, and cid bob's after it typed /check.
grep -qE "^check: heard: [0-9]+ probes? from 127\.0\.0\.1:${ports[3]} " "$work/bob.out" ||
    fail "bob's check did not hear cid's probes"

wait_for "$work/dan.out" "check: No program holds port ${ports[5]} at 127.0.0.1" 25
[[ $(verdict_of dan) == "check: No program holds port ${ports[5]} at 127.0.0.1"* ]] ||
    fail "dan's check did not end with the no-program verdict: $(verdict_of dan)"

# The chats go on after their checks: a line still crosses.
printf 'after the check\n' >&4
wait_for "$work/cid.out" "< after the check"
printf '/quit\n' >&3
printf '/quit\n' >&4
printf '/quit\n' >&5
printf '/quit\n' >&6
for pid in "${started_pids[@]}"; do
    wait_exit "$pid" 10
    [[ $exit_status -eq 0 ]] || fail "a chat ended with $exit_status after /quit, expected 0"
done
echo "chat /check: both ways against parlino check and between two chats, no program on the other port," \
    "probes not shown, a line typed during a check sent, /quit and Ctrl-C at once during a check"
