#!/usr/bin/env bash
# Two `parlino run` processes hold a conversation over loopback with the
# example publication: every line one says, the other hears.
source "$(dirname "$0")/lib.sh"

mapfile -t ports < <("$free_udp_ports" 2)
converse() { # SIDE MY_PORT PEER_PORT
    "$parlino" run "$examples/conversation.pub" --set side="$1" --set my_port="$2" --set peer_port="$3" \
        --set lines=12 --set pace=20 >"$work/$1.out" 2>"$work/$1.err" &
    started_pids+=($!)
}
converse ann "${ports[0]}" "${ports[1]}"
converse bob "${ports[1]}" "${ports[0]}"
for pid in "${started_pids[@]}"; do
    wait_exit "$pid" 60
    [[ $exit_status -eq 0 ]] || fail "a publication ended with exit code $exit_status"
done
grep -q "^ann is at .*, port ${ports[0]}, talking to 127.0.0.1:${ports[1]}$" "$work/ann.out" || fail "ann's greeting"
said_equals_heard "$work/ann.out" "$work/bob.out" 12
said_equals_heard "$work/bob.out" "$work/ann.out" 12
grep -qx "bob is done" "$work/bob.out" || fail "bob did not finish"
echo "run pair: 12 lines each way"
