#!/usr/bin/env bash
# The network fault suite in namespaces of its own. As root it must run:
# a skip there is a failure. Without root it reports SKIPPED.
set -euo pipefail
cmake --preset linux
cmake --build --preset linux -j "${PARLINO_JOBS:-2}" --target parlino_fault_tests
report=build/linux/fault-report.txt
status=0
bash tests/reliability/run_in_namespaces.sh build/linux/tests/reliability/parlino_fault_tests \
    >"$report" 2>&1 || status=$?
cat "$report"
if [[ $status -eq 77 && $(id -u) -ne 0 ]]; then
    exit 0
fi
exit "$status"
