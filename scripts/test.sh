#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every suite.
# Each stage is a script in scripts/test.d, run in name order; the first
# stage that fails stops the run with its exit code.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
jobs=${PARLINO_JOBS:-$(nproc)}
export PARLINO_JOBS=$jobs
stages=(scripts/test.d/*.sh)
for stage in "${stages[@]}"; do
    echo "==== ${stage##*/}"
    bash "$stage"
done
echo "==== all stages passed"
[[ ! -s build/windows-route.txt ]] || cat build/windows-route.txt
echo "stages: ${#stages[@]} passed, 0 failed"
