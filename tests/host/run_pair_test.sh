#!/usr/bin/env bash
# Two `parlino run` processes hold a conversation over loopback with the
# example publication: every line one says, the other hears.
source "$(dirname "$0")/lib.sh"

mapfile -t ports < <("$free_udp_ports" 2)
start_conversation ann "$parlino" --set my_port="${ports[0]}" --set peer_port="${ports[1]}" \
    --set lines=12 --set pace=20
start_conversation bob "$parlino" --set my_port="${ports[1]}" --set peer_port="${ports[0]}" \
    --set lines=12 --set pace=20
expect_all_succeed 60
grep -q "^ann is at .*, port ${ports[0]}, talking to 127.0.0.1:${ports[1]}$" "$work/ann.out" || fail "ann's greeting"
said_equals_heard "$work/ann.out" "$work/bob.out" 12
said_equals_heard "$work/bob.out" "$work/ann.out" 12
grep -qx "bob is done" "$work/bob.out" || fail "bob did not finish"

# The authors' guide, step 7: its publication twice on one machine, the ports
# crossed, the second started seconds after the first, as a person opening a
# second window would: each greets until it hears the other, and a line goes
# each way. Alone, it gives up after its ticks and says why. With both on
# one my_port, the second cannot open it and says so.
guide() { # NAME MY_PORT PEER_PORT [OPTION...]
    "$parlino" run "$examples/guide-chat.txt" --set my_port="$2" --set peer_port="$3" \
        --set typed_line="hello from $1" "${@:4}" >"$work/$1.out" 2>"$work/$1.err" &
    started_pids+=($!)
}
guide first "${ports[0]}" "${ports[1]}" --set tick_ms=500
sleep 5
guide second "${ports[1]}" "${ports[0]}" --set tick_ms=500
expect_all_succeed 60
grep -qx "< hello from second" "$work/first.out" && grep -qx "< hello from first" "$work/second.out" ||
    fail "the guide's two copies, the second 5 s late, did not each hear the other"
guide alone "${ports[0]}" "${ports[1]}" --set ticks=3 --set tick_ms=100
wait_exit "${started_pids[-1]}" 15
[[ $exit_status -eq 1 ]] || fail "the guide's publication alone ended with $exit_status, expected 1"
grep -q "guide-chat.txt:[0-9]*: nobody answered from 127.0.0.1:${ports[1]} in 3 ticks" "$work/alone.err" ||
    fail "the guide's publication alone did not say that nobody answered"
guide first "${ports[0]}" "${ports[1]}"
wait_for "$work/first.out" "Port ${ports[0]} is open"
guide second "${ports[0]}" "${ports[1]}"
wait_exit "${started_pids[-1]}"
[[ $exit_status -eq 1 ]] && grep -qF "Choose another local port," "$work/second.err" &&
    grep -q "guide-chat.txt:[0-9]*: The chat port is taken" "$work/second.err" || fail "one my_port twice: $exit_status"
kill "${started_pids[-1]}" 2>/dev/null || true
wait_exit "${started_pids[-1]}"

# A publication that prints what arrives shows it visibly.
cat >"$work/listen.pub" <<'END'
QV_chat_open_port [my_port]
if qv_chat_open_port_status != Ok
  fail cannot open port [my_port]
end
print listening
repeat 100 until qv_chat_text = bye
  QV_chat_rcv_txt
  if qv_chat_text
    print < [qv_chat_text]
  end
end
QV_chat_close_port
END
"$parlino" run "$work/listen.pub" --set my_port="${ports[0]}" >"$work/listen.out" 2>"$work/listen.err" &
started_pids+=($!)
wait_for "$work/listen.out" listening
send_hostile_lines "${ports[0]}"
expect_hostile_lines_shown "$work/listen.out"
printf bye | socat -u - "UDP:127.0.0.1:${ports[0]}"
expect_all_succeed 30
# From a host that sends its code page: decoded, and a byte that does not
# decode shown. Its output goes to a file of its own: the first run's
# "listening" must not be taken for this one's before its port is open.
"$parlino" run "$work/listen.pub" --set my_port="${ports[0]}" --charset cp1252 \
    >"$work/listen1252.out" 2>"$work/listen1252.err" &
started_pids+=($!)
wait_for "$work/listen1252.out" listening
printf 'caf\351 \200 \201 end' | socat -u - "UDP:127.0.0.1:${ports[0]}"
wait_for "$work/listen1252.out" '< café € \x81 end'
printf bye | socat -u - "UDP:127.0.0.1:${ports[0]}"
expect_all_succeed 30
echo "run pair: 12 lines each way, hostile lines shown visibly"
