#!/usr/bin/env bash
# Two machines for real: two network namespaces joined by a veth pair
# (198.18.0.1/24 and 198.18.0.2/24, the range set aside for network tests),
# one publication in each. Each must report its own veth address as its
# address, and 200 lines must cross each way, each once, in order, byte for
# byte. Needs root; without it the test exits 77, which CTest shows as
# skipped. The namespaces go away however the test ends.
source "$(dirname "$0")/lib.sh"

if [[ $(id -u) -ne 0 ]]; then
    echo "SKIPPED: creating network namespaces needs root"
    exit 77
fi
if ! command -v ip >/dev/null; then
    echo "SKIPPED: no ip command (iproute2)"
    exit 77
fi

lines=200
join_two_namespaces v

port_a=$(ip netns exec "$ns_a" "$free_udp_ports" 1)
port_b=$(ip netns exec "$ns_b" "$free_udp_ports" 1)
# Bytes that a careless host would mangle: blanks, punctuation, 8-bit text.
payload=$' tab\there, "quotes", <angle> & {brace} ~`!@#$%^*()_+-=;:\',./? caf\xe9 \xff\x80'
# As print shows it: the bytes that are not UTF-8 made visible.
shown_payload=$' tab\there, "quotes", <angle> & {brace} ~`!@#$%^*()_+-=;:\',./? caf\\xE9 \\xFF\\x80'

host_in_a() { ip netns exec "$ns_a" "$parlino" "$@"; }
host_in_b() { ip netns exec "$ns_b" "$parlino" "$@"; }
start_conversation a host_in_a --set my_port="$port_a" --set peer_ip=198.18.0.2 --set peer_port="$port_b" \
    --set lines=$lines --set pace=0 --set say="$payload"
start_conversation b host_in_b --set my_port="$port_b" --set peer_ip=198.18.0.1 --set peer_port="$port_a" \
    --set lines=$lines --set pace=0 --set say="$payload"
expect_all_succeed 90

grep -qx "a is at 198.18.0.1, port $port_a, talking to 198.18.0.2:$port_b" "$work/a.out" ||
    fail "my-IP in $ns_a did not give 198.18.0.1"
grep -qx "b is at 198.18.0.2, port $port_b, talking to 198.18.0.1:$port_a" "$work/b.out" ||
    fail "my-IP in $ns_b did not give 198.18.0.2"
grep -qxF "> a says line $lines: $shown_payload" "$work/a.out" || fail "the payload was not said as given"
said_equals_heard "$work/a.out" "$work/b.out" $lines
said_equals_heard "$work/b.out" "$work/a.out" $lines
echo "two namespaces: my-IP gave each veth address; $lines lines each way arrived once, in order"
