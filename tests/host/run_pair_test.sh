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
# decode shown.
"$parlino" run "$work/listen.pub" --set my_port="${ports[0]}" --charset cp1252 \
    >"$work/listen.out" 2>"$work/listen.err" &
started_pids+=($!)
wait_for "$work/listen.out" listening
printf 'caf\351 \200 \201 end' | socat -u - "UDP:127.0.0.1:${ports[0]}"
wait_for "$work/listen.out" '< café € \x81 end'
printf bye | socat -u - "UDP:127.0.0.1:${ports[0]}"
expect_all_succeed 30
echo "run pair: 12 lines each way, hostile lines shown visibly"
