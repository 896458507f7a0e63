#!/usr/bin/env bash
# Builds the Release benchmarks, runs every one of them and writes the
# figures into bench/RESULTS.md (raw JSON in build/bench/results). Not part
# of the test command. All traffic stays on 127.0.0.1. About three minutes
# on a 2-core machine besides the build.
#
#   bash scripts/bench.sh          # PARLINO_BENCH_REPETITIONS=9 by default
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
if ! command -v python3 >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends python3
fi

repetitions=${PARLINO_BENCH_REPETITIONS:-9}
results=build/bench/results
programs=build/bench/bench
mkdir -p "$results"

cmake --preset bench
cmake --build --preset bench -j "${PARLINO_JOBS:-$(nproc)}"

# The exact commands, as the report shows them.
paths_command="$programs/parlino_benchmarks --benchmark_filter='^(sendLine|sendLineStringHost|receiveLine|receiveLineStringHost|openClosePort|roundTrip|parseNumberCall|textToAddressCall|parameterFieldCall)/' --benchmark_repetitions=$repetitions --benchmark_min_time=0.2 --benchmark_enable_random_interleaving=true --benchmark_out=$results/paths.json --benchmark_out_format=json"
empty_command="$programs/parlino_benchmarks --benchmark_filter='^emptyReceive/' --benchmark_out=$results/empty_receive.json --benchmark_out_format=json"
lines_command="$programs/parlino_line_rate --rounds 4 --runs 5 --host build/bench/parlino --publications bench/publications > $results/line_rate.json"
screen_command="python3 bench/chat_screen.py --host build/bench/parlino --runs 3 > $results/chat_screen.json"

{
    echo "# bash scripts/bench.sh ran, from the repository root:"
    echo "cmake --preset bench && cmake --build --preset bench"
    echo "$paths_command"
    echo "$empty_command"
    echo "$lines_command"
    echo "$screen_command"
} >"$results/commands.txt"

{
    echo "Date: $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git rev-parse --short HEAD 2>/dev/null || echo unknown)"
    echo "CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), nproc $(nproc)"
    echo "Kernel: $(uname -sr); $(. /etc/os-release && echo "$PRETTY_NAME")"
    echo "Memory: $(free -g | awk '/^Mem:/ {print $2}') GiB; clock source $(cat /sys/devices/system/clocksource/clocksource0/current_clocksource 2>/dev/null || echo unknown)"
    echo "Compiler: $(c++ --version | head -1); socat $(socat -V 2>/dev/null | awk '/socat version/ {print $3}')"
} >"$results/machine.txt"

echo "==== module paths and readers ($repetitions repetitions, interleaved)"
eval "$paths_command"
echo "==== the empty receive's wait (10 runs of about 1 s each)"
eval "$empty_command"
echo "==== publication to publication against socat to socat"
eval "$lines_command"
echo "==== the terminal chat's screen under arriving lines (tmux)"
eval "$screen_command"

python3 bench/report.py --results "$results" --machine "$results/machine.txt" \
    --commands "$results/commands.txt" --notes bench/NOTES.md >bench/RESULTS.md
echo "==== wrote bench/RESULTS.md"
