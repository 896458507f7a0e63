#!/usr/bin/env bash
# The native module, its unit and loopback suites.
set -euo pipefail
cmake --preset linux
cmake --build --preset linux -j "${PARLINO_JOBS:-2}"
ctest --preset linux -j "${PARLINO_JOBS:-2}"
