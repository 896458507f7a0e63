#!/usr/bin/env bash
# The endpoint concurrency stress under ThreadSanitizer: a data race or a lock
# order inversion fails it. Repeated, since a race shows only when it happens.
set -euo pipefail
cmake --preset linux-tsan
cmake --build --preset linux-tsan -j "${PARLINO_JOBS:-2}"
ctest --preset linux-tsan --repeat until-fail:3
