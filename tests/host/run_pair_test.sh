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
echo "run pair: 12 lines each way"
