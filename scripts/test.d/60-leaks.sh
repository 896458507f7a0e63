#!/usr/bin/env bash
# 10,000 cycles per phase (open/send/receive/close, failed opens on a port in
# use, opens over an open port) through nbExecAction under valgrind memcheck:
# any byte lost, any memory error, or a descriptor or endpoint left behind
# fails the stage.
set -euo pipefail
cycles=${PARLINO_LEAK_CYCLES:-10000}
cmake --preset linux
cmake --build --preset linux -j "${PARLINO_JOBS:-2}" --target parlino_leak_cycles
report=build/linux/leak-report.txt
valgrind --tool=memcheck --leak-check=full --show-leak-kinds=all \
    --errors-for-leak-kinds=definite,indirect,possible --error-exitcode=99 \
    build/linux/tests/reliability/parlino_leak_cycles "$cycles" >"$report" 2>&1 || {
    cat "$report"
    exit 1
}
grep -E 'cycles:|in use at exit|ERROR SUMMARY|no leaks are possible' "$report"
