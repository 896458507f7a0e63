#!/usr/bin/env bash
# The link check between two machines for real: two network namespaces
# joined by a veth pair (198.18.0.1/24 and 198.18.0.2/24, the range set aside
# for network tests), and each cause of "nothing arrives" made for real: a
# clear link, a firewall (nftables) dropping UDP to one side's port, a wrong
# peer address on one side, no check on the peer, an address where no
# machine is, an address on another network, and a port already taken.
# Each side's exit code is as the check promises and its last line, the
# verdict, names the side, the address and the port. Needs root, ip and nft;
# without them the test exits 77, which CTest shows as skipped.
source "$(dirname "$0")/lib.sh"

if [[ $(id -u) -ne 0 ]]; then
    echo "SKIPPED: creating network namespaces needs root"
    exit 77
fi
for tool in ip nft socat ss; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIPPED: no $tool command (scripts/setup.sh installs it)"
        exit 77
    fi
done

join_two_namespaces c
a=198.18.0.1 b=198.18.0.2
mapfile -t ports_a < <(ip netns exec "$ns_a" "$free_udp_ports" 8)
mapfile -t ports_b < <(ip netns exec "$ns_b" "$free_udp_ports" 8)

# check NAME NAMESPACE OPTION...: parlino check in the background; its
# output goes to $work/NAME.out and .err, its exit code and the time it
# took in milliseconds to $work/NAME.result.
check() {
    local name=$1 ns=$2
    shift 2
    (
        started=$(date +%s%N)
        status=0
        ip netns exec "$ns" "$parlino" check "$@" >"$work/$name.out" 2>"$work/$name.err" || status=$?
        echo "$status $((($(date +%s%N) - started) / 1000000))" >"$work/$name.result"
    ) &
    started_pids+=($!)
}

wait_for_checks() {
    local pid
    for pid in "${started_pids[@]}"; do
        wait_exit "$pid" 60
    done
}

# expect_verdict NAME EXIT TEXT...: the check NAME ended with EXIT, and its
# last line holds each TEXT.
expect_verdict() {
    local name=$1 want=$2 code ms last text
    shift 2
    read -r code ms <"$work/$name.result"
    [[ $code -eq $want ]] || fail "check $name ended with $code, expected $want"
    last=$(tail -n 1 "$work/$name.out")
    for text in "$@"; do
        [[ $last == *"$text"* ]] || fail "the verdict of check $name does not name \"$text\": $last"
    done
}

took_ms() { awk '{ print $2 }' "$work/$1.result"; }

# ---- All causes but one at once: each uses its own ports. ----

# A clear link: both ways, within --seconds + 2 s.
check clear-a "$ns_a" --port "${ports_a[0]}" --peer "$b:${ports_b[0]}" --seconds 2
check clear-b "$ns_b" --port "${ports_b[0]}" --peer "$a:${ports_a[0]}" --seconds 2

# A firewall in b drops UDP to b's port: a hears b, b hears nothing.
ip netns exec "$ns_b" nft add table inet parlino_check
ip netns exec "$ns_b" nft add chain inet parlino_check input '{ type filter hook input priority 0; }'
ip netns exec "$ns_b" nft add rule inet parlino_check input udp dport "${ports_b[1]}" drop
check firewall-a "$ns_a" --port "${ports_a[1]}" --peer "$b:${ports_b[1]}" --seconds 3
check firewall-b "$ns_b" --port "${ports_b[1]}" --peer "$a:${ports_a[1]}" --seconds 3 --wait 3

# a has b's address wrong.
check wrong-a "$ns_a" --port "${ports_a[2]}" --peer "198.18.0.22:${ports_b[2]}" --seconds 3
check wrong-b "$ns_b" --port "${ports_b[2]}" --peer "$a:${ports_a[2]}" --seconds 3 --wait 3

# No machine has the address; and an address on no network of a's.
check nobody "$ns_a" --port "${ports_a[3]}" --peer "198.18.0.99:${ports_a[3]}" --seconds 2 --wait 2
check elsewhere "$ns_a" --port "${ports_a[4]}" --peer "198.19.0.5:${ports_a[4]}" --seconds 2 --wait 2

# The port is taken.
ip netns exec "$ns_a" socat -u "UDP4-RECV:${ports_a[5]}" OPEN:/dev/null &
started_pids+=($!)
socat_pid=$!
for ((tenths = 0; tenths < 100; tenths++)); do
    ip netns exec "$ns_a" ss -Huln "sport = :${ports_a[5]}" | grep -q . && break
    sleep 0.1
done
check taken "$ns_a" --port "${ports_a[5]}" --peer "$b:${ports_b[5]}" --seconds 1 --wait 0
wait_exit "${started_pids[-1]}" 30
kill "$socat_pid"
wait_for_checks

expect_verdict clear-a 0
expect_verdict clear-b 0
for side in clear-a clear-b; do
    (($(took_ms $side) <= 4000)) || fail "a clear link took check $side $(took_ms $side) ms to judge, more than --seconds 2 + 2 s"
done
expect_verdict firewall-a 1 "firewall at $b" "port ${ports_b[1]}" "ufw allow ${ports_b[1]}/udp"
expect_verdict firewall-b 1 "this PC's firewall" "port ${ports_b[1]}" "ufw allow ${ports_b[1]}/udp" "$a:${ports_a[1]}"
expect_verdict wrong-a 1 "$b:${ports_b[2]}" "198.18.0.22:${ports_b[2]}"
expect_verdict wrong-b 1 "$a:${ports_a[2]}" "--peer must be $b:${ports_b[2]}"
expect_verdict nobody 1 "198.18.0.99" "$a/24"
# "host unreachable" comes about 3 s after the first probe, and says no
# more than silence would: the check still waits its 5 s at least.
(($(took_ms nobody) >= 4500)) || fail "the check of an address where no machine is ended after $(took_ms nobody) ms, before its 5 s"
expect_verdict elsewhere 1 "198.19.0.5" "$a/24" "different networks"
expect_verdict taken 5

# ---- No check on the peer, alone: it needs b's "port unreachable" about
# once a second, which b's replies to the others' late probes would share.
check alone "$ns_a" --port "${ports_a[6]}" --peer "$b:${ports_b[6]}" --seconds 2 --wait 2
wait_for_checks
expect_verdict alone 1 "port ${ports_b[6]} at $b" "parlino check --port ${ports_b[6]} --peer $a:${ports_a[6]}"

echo "link check in two namespaces: a clear link both ways ($(took_ms clear-a) ms, $(took_ms clear-b) ms)," \
    "a firewall, a wrong address, nobody at the address, another network, a taken port and no check on the peer," \
    "each judged on each side that ran"
