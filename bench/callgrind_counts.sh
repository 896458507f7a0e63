#!/usr/bin/env bash
# Instructions the module itself executes per action, counted by callgrind:
# repeatable where times are not, so a change to the module can be judged
# on a noisy machine. Counts user-space instructions inside nbExecAction
# (the host's set-variable callback included, system calls excluded).
#
#   bash bench/callgrind_counts.sh [Parlino.so]    # default: the bench build's module
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
module=${1:-$root/build/bench/Parlino.so}
benchmarks=$root/build/bench/bench/parlino_benchmarks
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

count() { # benchmark filter, action function name
    PARLINO_MODULE=$module valgrind --tool=callgrind --toggle-collect=nbExecAction \
        --callgrind-out-file="$work/out" "$benchmarks" --benchmark_filter="$1" \
        --benchmark_min_time=0.05 >/dev/null 2>&1
    callgrind_annotate --tree=calling --inclusive=yes "$work/out" 2>/dev/null | python3 -c '
import re, sys
action = sys.argv[1]
total = calls = other_ir = other_calls = 0
section = None
for line in sys.stdin:
    m = re.match(r"\s*([\d,]+)\s+\([^)]*\)\s+([*>])\s+(\S+)(?:\s+\((\d[\d,]*)x\))?", line)
    if not m:
        continue
    ir, mark, name = int(m.group(1).replace(",", "")), m.group(2), m.group(3)
    if mark == "*":
        section = name
        if name == "???:nbExecAction":
            total = ir
        continue
    n = int(m.group(4).replace(",", "")) if m.group(4) else 0
    if "LoadedModule::execute" in (section or "") and name == "???:nbExecAction":
        calls = n
    if section == "???:nbExecAction" and name.startswith("???:QV_CHAT_") and name != "???:" + action:
        other_ir += ir
        other_calls += n
if action == "pair":  # open and close alternate: the cost of one of each
    print(f"{total / max(1, calls / 2):,.0f}")
else:
    print(f"{(total - other_ir) / max(1, calls - other_calls):,.0f}")
' "$2"
}

printf '%-34s %s\n' "path" "instructions per action"
printf '%-34s %s\n' "send, 5 bytes" "$(count 'sendLine/module/5/' QV_CHAT_SEND_TXT)"
printf '%-34s %s\n' "send, 1,400 bytes" "$(count 'sendLine/module/1400/' QV_CHAT_SEND_TXT)"
printf '%-34s %s\n' "send, 65,507 bytes" "$(count 'sendLine/module/65507/' QV_CHAT_SEND_TXT)"
printf '%-34s %s\n' "receive, 5 bytes queued" "$(count 'receiveLine/module/5/' QV_CHAT_RCV_TXT)"
printf '%-34s %s\n' "receive, 1,400 bytes queued" "$(count 'receiveLine/module/1400/' QV_CHAT_RCV_TXT)"
printf '%-34s %s\n' "receive, 5 bytes, strings host" "$(count 'receiveLineStringHost/module/5/' QV_CHAT_RCV_TXT)"
printf '%-34s %s\n' "receive, 1,400 bytes, strings host" "$(count 'receiveLineStringHost/module/1400/' QV_CHAT_RCV_TXT)"
printf '%-34s %s\n' "open + close, the pair" "$(count 'openClosePort/module' pair)"
