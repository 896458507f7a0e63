#!/usr/bin/env bash
# Runs a Windows program under 32-bit wine in a prefix of the build's own
# (created on first use). No display: message boxes return at once.
set -euo pipefail
build_dir=${PARLINO_WINE_BUILD_DIR:-$PWD}
while [[ ! -f "$build_dir/CMakeCache.txt" && "$build_dir" != / ]]; do
    build_dir=$(dirname "$build_dir")
done
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${WINEPREFIX:-$build_dir/wineprefix}
unset DISPLAY
exec wine "$@"
