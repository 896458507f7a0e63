#!/usr/bin/env bash
# Runs a fault suite inside two network namespaces made for this run and
# joined by a veth pair: the chat's side (198.18.0.1/24) and a peer
# (198.18.0.2/24), addresses from the range reserved for network tests. The
# chat's side has no other route. The namespaces are deleted however the run
# ends. Without root (or where namespaces cannot be made) it exits with 77,
# which CTest reports as skipped.
#
# Usage: run_in_namespaces.sh PROGRAM [ARGUMENTS...]
set -euo pipefail
program=$1
shift
if [[ $(id -u) -ne 0 ]] || ! command -v ip >/dev/null; then
    echo "SKIPPED: network namespaces need root and iproute2" >&2
    exit 77
fi

chat=parlino-chat-$$
peer=parlino-peer-$$
cleanup() {
    ip netns delete "$chat" 2>/dev/null || true
    ip netns delete "$peer" 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if ! ip netns add "$chat" 2>/dev/null; then
    echo "SKIPPED: cannot create a network namespace here" >&2
    exit 77
fi
ip netns add "$peer"
ip link add veth-chat netns "$chat" type veth peer name veth-peer netns "$peer"
ip -n "$chat" address add 198.18.0.1/24 dev veth-chat
ip -n "$peer" address add 198.18.0.2/24 dev veth-peer
for namespace in "$chat" "$peer"; do
    ip -n "$namespace" link set lo up
done
ip -n "$chat" link set veth-chat up
ip -n "$peer" link set veth-peer up

PARLINO_PEER_NAMESPACE=$peer PARLINO_PEER_LINK=veth-peer \
    ip netns exec "$chat" "$program" "$@"
