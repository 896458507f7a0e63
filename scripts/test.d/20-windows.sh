#!/usr/bin/env bash
# The 32-bit Windows DLL and the same suites, run under wine.
set -euo pipefail
cmake --preset windows
cmake --build --preset windows -j "${PARLINO_JOBS:-2}"
ctest --preset windows
