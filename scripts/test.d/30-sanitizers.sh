#!/usr/bin/env bash
# The unit and loopback suites under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cmake --preset linux-asan
cmake --build --preset linux-asan -j "${PARLINO_JOBS:-2}"
ctest --preset linux-asan -j "${PARLINO_JOBS:-2}"
