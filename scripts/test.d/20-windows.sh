#!/usr/bin/env bash
# The 32-bit Windows DLL (its tables and the host under wine), then the
# GoogleTest suites built for Windows and run under wine.
set -euo pipefail
for preset in windows windows-tests; do
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j "${PARLINO_JOBS:-2}"
    ctest --preset "$preset"
done
