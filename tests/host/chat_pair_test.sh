#!/usr/bin/env bash
# Two `parlino chat` processes, each typed to through a pipe: lines reach the
# other side with a time stamp, cut at "|"; a command is a whole line (CR LF
# too); /quit, the end of input, Ctrl-C and a hang-up each close the port (a
# hang-up not under nohup), and a port that is taken is refused with the
# module's message.
source "$(dirname "$0")/lib.sh"

mapfile -t ports < <("$free_udp_ports" 3)
mkfifo "$work/ann.in" "$work/bob.in" "$work/cid.in" "$work/eve.in" "$work/fay.in"
# The test holds each pipe open for writing (and reading, so that opening it
# does not block); each chat gets only its own pipe as standard input.
exec 5<>"$work/ann.in" 6<>"$work/bob.in" 7<>"$work/cid.in" 8<>"$work/eve.in" 9<>"$work/fay.in"
chat() { # NAME PORT PEER_PORT [PEER_HOST]; $launcher, if set, starts parlino
    ${launcher:-} "$parlino" chat --port "$2" --peer "${4:-127.0.0.1}:$3" <"$work/$1.in" >"$work/$1.out" \
        2>"$work/$1.err" 5>&- 6>&- 7>&- 8>&- 9>&- &
    started_pids+=($!)
}
stamped() { # FILE TEXT: TEXT arrived, with a time stamp in front
    wait_for "$1" "< $2"
    grep -qxF -- "$2" <(sed -n 's/^\[[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\] < //p' "$1") ||
        fail "${1##*/}: \"$2\" has no time stamp"
}

chat ann "${ports[0]}" "${ports[1]}"
ann=$!
chat bob "${ports[1]}" "${ports[0]}" localhost
bob=$!
wait_for "$work/ann.out" "open port ${ports[0]}: Ok"
wait_for "$work/bob.out" "open port ${ports[1]}: Ok"
grep -qF "with 127.0.0.1:${ports[0]} (localhost)" "$work/bob.out" ||
    fail "the address looked up for localhost was not shown"
grep -q '^my address: [0-9]*\.[0-9]*\.[0-9]*\.[0-9]*$' "$work/ann.out" || fail "no local address shown"
wait_for "$work/ann.out" "Type a line"
wait_for "$work/bob.out" "Type a line"

printf 'hello bob\n' >&5
stamped "$work/bob.out" "hello bob"
printf 'hi ann\n  two leading blanks\n' >&6
stamped "$work/ann.out" "hi ann"
stamped "$work/ann.out" "  two leading blanks"
printf 'caf\xe9 cr\xe8me, 8-bit bytes\nsecond line\nthird line\n' >&5
stamped "$work/bob.out" 'caf\xE9 cr\xE8me, 8-bit bytes'
stamped "$work/bob.out" "third line"
# Whoever sends to the port must not steer the terminal: control
# characters are shown in caret form.
printf 'clear \033[2J bell \a del \177 tab\tkept\n' >&5
stamped "$work/bob.out" $'clear ^[[2J bell ^G del ^? tab\tkept'
[[ $(grep -c ' < ' "$work/bob.out") -eq 5 ]] || fail "bob heard a line twice or a stray one"
send_hostile_lines "${ports[1]}"
expect_hostile_lines_shown "$work/bob.out"

# A line goes out up to its first "|"; a command is the whole line, and a
# line ended CR LF (typed on Windows) is one.
printf 'left|right\n/quit now\n/checking\n/quit\r\n' >&5
stamped "$work/bob.out" "left"
stamped "$work/bob.out" "/quit now"
stamped "$work/bob.out" "/checking"
wait_exit "$ann" 5
[[ $exit_status -eq 0 ]] || fail "/quit did not end the chat with exit 0"
grep -qx "port ${ports[0]} closed" "$work/ann.out" || fail "/quit did not close the port"

exec 6>&- # the end of bob's input
wait_exit "$bob"
[[ $exit_status -eq 0 ]] || fail "the end of input did not end the chat with exit 0"
grep -qx "port ${ports[1]} closed" "$work/bob.out" || fail "the end of input did not close the port"

# Ctrl-C closes the port too; meanwhile the port is taken, and a second chat
# on it shows the module's message and gives up.
chat cid "${ports[2]}" "${ports[0]}"
cid=$!
wait_for "$work/cid.out" "Type a line"
status=0
"$parlino" chat --port "${ports[2]}" --peer "127.0.0.1:${ports[0]}" </dev/null >"$work/dan.out" 2>"$work/dan.err" ||
    status=$?
[[ $status -eq 5 ]] || fail "a chat on a port in use ended with $status, expected 5"
grep -qF "open port ${ports[2]}: Error" "$work/dan.out" || fail "the Error status was not shown"
grep -qF "Choose another local port," "$work/dan.err" || fail "the module's message did not reach the terminal"
grep -qF "Device I/O error on ${ports[2]}" "$work/dan.err" || fail "the module's message lacks its reason"
kill -INT "$cid"
wait_exit "$cid"
[[ $exit_status -eq 130 ]] || fail "Ctrl-C did not end the chat with exit 130"
grep -qx "port ${ports[2]} closed" "$work/cid.out" || fail "Ctrl-C did not close the port"

# A hang-up (the terminal closed) ends a chat as Ctrl-C does, with 128 and
# its number; under nohup, which ignores it, the chat goes on.
chat eve "${ports[2]}" "${ports[0]}"
eve=$!
wait_for "$work/eve.out" "Type a line"
kill -HUP "$eve"
wait_exit "$eve"
[[ $exit_status -eq 129 ]] || fail "a hang-up ended the chat with $exit_status, expected 129"
grep -qx "port ${ports[2]} closed" "$work/eve.out" || fail "a hang-up did not close the port"
launcher=nohup chat fay "${ports[2]}" "${ports[0]}"
fay=$!
wait_for "$work/fay.out" "Type a line"
kill -HUP "$fay"
! gone_within "$fay" 1 || fail "a hang-up ended a chat under nohup"
printf 'still here\n/quit\n' >&9
wait_exit "$fay"
[[ $exit_status -eq 0 ]] || fail "the chat under nohup ended with $exit_status after /quit, expected 0"
echo "chat pair: lines both ways, /quit, end of input, Ctrl-C, hang-up, port in use"
