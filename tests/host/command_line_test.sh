#!/usr/bin/env bash
# parlino's command line: help and version everywhere, refused options,
# the catalogue shown by info, and the exit code of each kind of failure.
source "$(dirname "$0")/lib.sh"

# expect EXIT TEXT ARGS...: parlino ARGS exits with EXIT and says TEXT.
expect() {
    local want=$1 text=$2 got=0
    shift 2
    "$parlino" "$@" </dev/null >"$work/last.out" 2>"$work/last.err" || got=$?
    [[ $got -eq $want ]] || fail "parlino $*: exit $got, expected $want"
    [[ -z $text ]] || cat "$work/last.out" "$work/last.err" | grep -qF -- "$text" || fail "parlino $*: no \"$text\" in its output"
}

printf 'print first\nQV_chat_my_ip\nQV_chat_sned_txt 1|2|3\nrepeat 2\n' >"$work/faulty.pub"
printf 'print before\nfail told to stop\nprint after\n' >"$work/stopped.pub"
printf 'print ran\n' >"$work/fine.pub"
printf '\xef\xbb\xbfprint saved by Notepad\r\n' >"$work/bom.pub"
printf 'repeat 1\n%.0s' {1..30000} >"$work/deep.pub"
printf 'end\n%.0s' {1..30000} >>"$work/deep.pub"

expect 0 "parlino 1.0.0" --version
expect 0 "Usage: parlino" --help
for command in info run chat check; do
    expect 0 "parlino 1.0.0" "$command" --version
    expect 0 "Usage: parlino $command" "$command" --help
    expect 0 "in its own folder, then in " "$command" --help
    ! grep -qF "INT:INT" "$work/last.out" || fail "$command --help shows the option parser's types"
done
expect 2 "subcommand is required"
expect 2 'unknown command "bogus"' bogus
expect 2 'did you mean "info"?' Info
expect 2 'did you mean "chat"?' --module x caht
expect 3 "cannot use the module $work/none" --module "$work/none" info
expect 3 "cannot use the module $work/none" info --module "$work/none"
expect 2 'decimal number from 1 to 65535, not "0x9c43"' chat --port 0x9c43 --peer 127.0.0.1:5000
expect 2 'decimal number from 1 to 65535, not "abc"' chat --port abc --peer 127.0.0.1:5000
expect 2 "unknown character set" chat --port 5000 --peer 127.0.0.1:5001 --charset no-such-set
expect 2 "--port" chat --port 0 --peer 127.0.0.1:5000
expect 2 "--port" chat --port 65536 --peer 127.0.0.1:5000
expect 2 "--peer" chat --port 5000
# What a person got wrong is named, not the required option it displaced.
expect 2 "not expected: -p 40003" chat -p 40003 --peer 127.0.0.1:40002
expect 2 "not expected: --prot 40003" chat --prot 40003
expect 2 "did you mean --port?" chat --prot 40003 --peer 127.0.0.1:40002
expect 2 "not expected: 40003 127.0.0.1:40002" chat 40003 127.0.0.1:40002
expect 2 "not expected: y z" run "$work/fine.pub" y z
expect 2 "--set a is given twice (a=1, a=2)" run "$work/fine.pub" --set a=1 --set b=1 --set a=2
expect 2 "--set a is given twice (a=1, a=2)" run "$work/fine.pub" --set a=1 --set a=2
# Addresses as the module reads them: both are refused, with its reading.
expect 2 'the module reads the address "127.1" as 127.1.0.0' chat --port 5000 --peer 127.1:5001
expect 2 'the module reads the address "0x7f000001" as 0.0.0.0' chat --port 5000 --peer 0x7f000001:5001
expect 2 "--peer is given 2 times; give it once" chat --port 5000 --peer 127.0.0.1:1 --peer 127.0.0.1:2
expect 2 "ADDRESS:PORT" chat --port 5000 --peer localhost:0x1388
expect 2 "ADDRESS:PORT" chat --port 5000 --peer 127.0.0.1:0
# The check takes the chat's --port and --peer, and whole seconds.
expect 2 'the module reads the address "127.1" as 127.1.0.0' check --port 5000 --peer 127.1:5001
expect 2 "--port" check --port 0 --peer 127.0.0.1:5000
for seconds in 0 601 1.5 05 abc; do
    expect 2 "a whole number of seconds from 1 to 600, not \"$seconds\"" check --port 5000 --peer 127.0.0.1:5001 --seconds "$seconds"
done
expect 2 "--wait" check --port 5000 --peer 127.0.0.1:5001 --wait 601
# A port another program holds, the peer's port given as one's own, a
# line longer than a datagram: after the module's message, or alone, a
# line of parlino's says what happened and what to do.
mapfile -t ports < <("$free_udp_ports" 2)
socat -u "UDP-RECV:${ports[0]}" /dev/null &
started_pids+=($!)
sleep 0.3
expect 5 "port ${ports[0]} is in use by another program; choose another with --port" \
    chat --port "${ports[0]}" --peer "127.0.0.1:${ports[1]}"
expect 5 "port ${ports[0]} is in use by another program" check --port "${ports[0]}" --peer "127.0.0.1:${ports[1]}"
grep -A1 -F "Device I/O error on ${ports[0]}" "$work/last.err" | grep -qF "in use" ||
    fail "the line about the port in use does not follow the module's message"
expect 0 "is this chat's own port" chat --port "${ports[1]}" --peer "127.0.0.1:${ports[1]}"
head -c 65508 /dev/zero | tr '\0' a | "$parlino" chat --port "${ports[1]}" --peer "127.0.0.1:${ports[0]}" \
    >/dev/null 2>"$work/last.err" || fail "a chat with a line too long for a datagram failed"
grep -A1 -F "Error: 57." "$work/last.err" | grep -qF "65508 bytes long, more than one datagram carries" ||
    fail "the line too long for a datagram was not explained after the module's message"
expect 2 "FILE" run
expect 2 "NAME=VALUE" run "$work/fine.pub" --set 1-2=3
expect 2 "NAME=VALUE" run "$work/fine.pub" --set novalue
expect 3 "cannot use the module" info --module "$work/no-such-module"
expect 3 "cannot use the module" run "$work/fine.pub" --module "$work/fine.pub"
# A module file cut short (a copy that did not finish): told, not a crash.
module=$(dirname "$parlino")/Parlino.so
head -c 4096 "$module" >"$work/cut.so"
expect 3 "the file is cut short: it holds 4,096 bytes" info --module "$work/cut.so"
# Standard input as the publication.
printf 'print read from standard input\n' | "$parlino" run - >"$work/last.out" 2>"$work/last.err" ||
    fail "run - failed: $(cat "$work/last.err")"
[[ $(cat "$work/last.out") == "read from standard input" ]] || fail "run - did not play standard input"
# A publication saved as UTF-16 is named so once, not a fault on every line.
printf '\xff\xfep\0r\0i\0n\0t\0 \0a\0\n\0p\0r\0i\0n\0t\0 \0b\0\n\0' >"$work/utf16.pub"
expect 4 "utf16.pub:1: the file is UTF-16 (little-endian), not UTF-8: save it as UTF-8" run "$work/utf16.pub"
[[ $(wc -l <"$work/last.err") -eq 2 ]] || fail "a UTF-16 publication got more than one message: $(cat "$work/last.err")"
# Characters that hold zero bytes would be cut by the module at the first.
expect 2 "writes characters with zero bytes" chat --port 5000 --peer 127.0.0.1:5001 --charset UTF-16
expect 4 "cannot read the publication" run "$work/missing.pub"
expect 4 "faulty.pub:3: unknown action or command \"QV_chat_sned_txt\"" run "$work/faulty.pub"
grep -qF 'faulty.pub:4: "repeat" has no "end"' "$work/last.err" || fail "the unclosed repeat was not reported"
[[ ! -s $work/last.out ]] || fail "a faulty publication ran: $(cat "$work/last.out")"
# What a publication reports is shown visibly too: its text and values may
# come from elsewhere.
printf 'fail told \033[2J to stop\n' >"$work/escape.pub"
expect 1 "escape.pub:1: told ^[[2J to stop" run "$work/escape.pub"
printf 'QV_\033[2J 1\n' >"$work/escape.pub"
expect 4 'escape.pub:1: unknown action or command "QV_^[[2J"' run "$work/escape.pub"
expect 1 "stopped.pub:2: told to stop" run "$work/stopped.pub"
[[ $(cat "$work/last.out") == before ]] || fail "fail did not stop the publication"
expect 0 "fine.pub: ok" run --check "$work/fine.pub"
[[ ! -s $work/last.out ]] || fail "--check ran the publication"
expect 0 "ran" run "$work/fine.pub"
expect 0 "saved by Notepad" run "$work/bom.pub"
for check in --check ""; do
    expect 4 "deep.pub:101: blocks nest more than 100 levels deep" run $check "$work/deep.pub"
done
# What is no publication: a screenful of its faults and their count, the
# system's reason for a folder.
# (A program within the size a publication may have: larger ones are
# refused unread.)
head -c 400000 "$(dirname "$parlino")/Parlino.so" >"$work/program"
expect 4 "more faults in $work/program not shown" run "$work/program"
(($(wc -l <"$work/last.err") <= 12)) || fail "the module's own file gave $(wc -l <"$work/last.err") lines"
expect 4 "cannot read the publication $work: Is a directory" run "$work"
# A value that doubles on each line stops with its line, well within 64 MB
# (a sanitizer's own reservations are larger: there, the stop only).
{ echo 'set a = x'; for ((i = 0; i < 40; i++)); do echo 'set a = [a][a]'; done; } >"$work/double.pub"
is_sanitized "$parlino" || ulimit_kb=65536
(
    [[ -z ${ulimit_kb:-} ]] || ulimit -v "$ulimit_kb"
    expect 1 "double.pub:22: the value of a would be more than 1048576 bytes" run "$work/double.pub"
    expect 4 "the publication /dev/zero is larger than 512 KB" run /dev/zero
) || exit 1
# A publication of exactly 512 KB is read; one byte more is not.
for ((i = 0; i < 1024; i++)); do printf '# %0509d\n' "$i"; done >"$work/largest.pub"
[[ $(stat -c %s "$work/largest.pub") -eq 524288 ]] || fail "the largest publication is not 524,288 bytes"
expect 0 "largest.pub: ok" run --check "$work/largest.pub"
echo >>"$work/largest.pub"
expect 4 "is larger than 512 KB" run --check "$work/largest.pub"
# SIGTERM stops a run as it stops a chat, with 128 and its number.
printf 'print before\npause 10000\nprint after\n' >"$work/long.pub"
"$parlino" run "$work/long.pub" >"$work/long.out" &
started_pids+=($!)
wait_for "$work/long.out" before
kill -TERM $!
wait_exit $! 5
[[ $exit_status -eq 143 ]] || fail "SIGTERM ended a run with $exit_status, expected 143"
for example in "$examples"/[[:lower:]]*.txt; do
    expect 0 "${example##*/}: ok" run --check "$example"
    # Run without its ports, it stops at once and names them.
    expect 1 ": my_port, peer_port have no value (give them with --set my_port=VALUE --set peer_port=VALUE)" \
        run "$example"
    [[ ! -s $work/last.out && $(wc -l <"$work/last.err") -eq 1 ]] || fail "$example ran without its ports"
done
# Without --module and without a module beside it, parlino names every
# place it looked.
cp "$parlino" "$work/alone"
status=0
"$work/alone" info >/dev/null 2>"$work/alone.err" || status=$?
[[ $status -eq 3 ]] || fail "parlino without a module ended with $status, expected 3"
grep -qF "not found at $work/Parlino.so nor at $work/" "$work/alone.err" ||
    fail "not every place looked was named: $(cat "$work/alone.err")"
# A bare --module file name is the file in the current folder.
(cd "$(dirname "$parlino")" && "$parlino" info --module Parlino.so >/dev/null) ||
    fail "--module Parlino.so did not load the module in the current folder"

# info: the texts from nbInitPlugIn and the five registered actions, with
# both lines of a two-line description.
expect 0 "Parlino 1.0.0" info
for text in "description: Chat service functions" "author:      The Parlino authors" \
    "1  QV_chat_my_ip  (ACTIONPARAM_ALPHA, 1 parameter)" "Get IP address at [qv_chat_my_pc] variable" \
    "2  QV_chat_open_port  (" "QV_chat_open_port\"[port]\"" \
    "3  QV_chat_send_txt  (" "Send Chat Text to remote user" "QV_chat_send_text\"[remote_ip]|[port]|[text]\"" \
    "4  QV_chat_rcv_txt  (" "QV_chat_rcv_text\"[remote_ip]|[port]\"" \
    "5  QV_chat_close_port  (" "Close connection [port]"; do
    grep -qF -- "$text" "$work/last.out" || fail "info does not show \"$text\""
done
! grep -q $'\r' "$work/last.out" || fail "info passed a CR through"
echo "command line: all cases passed"
