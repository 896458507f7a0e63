#!/usr/bin/env bash
# The main job: installs what the demo needs (scripts/setup.sh demo), builds
# the Linux preset's host, then runs a live chat on loopback between two
# publications, ann and bob, each one a
# `parlino run` of examples/conversation.txt. Their lines are shown as they
# happen: "> " a line said, "< " a line heard from the other side.
# Needs no terminal and no standard input.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh demo
cmake --preset linux
cmake --build --preset linux -j "${PARLINO_JOBS:-2}" --target parlino free_udp_ports

build=build/linux
lines=6
mapfile -t ports < <("$build/tests/host/free_udp_ports" 2)
work=$(mktemp -d "${TMPDIR:-/tmp}/parlino-demo.XXXXXX")
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

echo
echo "== parlino info"
"$build/parlino" info
echo
echo "== a live chat on loopback: ann on port ${ports[0]}, bob on port ${ports[1]}"
side() { # NAME MY_PORT PEER_PORT
    "$build/parlino" run examples/conversation.txt --set side="$1" --set my_port="$2" --set peer_port="$3" \
        --set lines=$lines --set pace=400 </dev/null 2>&1 | sed -u "s/^/[$1] /" | tee "$work/$1.out" &
    pids+=($!)
}
side ann "${ports[0]}" "${ports[1]}"
side bob "${ports[1]}" "${ports[0]}"
for pid in "${pids[@]}"; do wait "$pid"; done
pids=()

# Each side must have heard every line the other said, in order.
for pair in "ann bob" "bob ann"; do
    read -r speaker listener <<<"$pair"
    said=$(sed -n "s/^\[$speaker\] > //p" "$work/$speaker.out")
    heard=$(sed -n "s/^\[$listener\] < //p" "$work/$listener.out")
    if [[ -z $said || $said != "$heard" ]]; then
        echo "demo: $listener did not hear all that $speaker said" >&2
        exit 1
    fi
done
echo
echo "== done: ann and bob each heard all $lines lines of the other, in order"
