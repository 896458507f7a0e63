#!/usr/bin/env bash
# Runs a Windows program built by the project, or any given by path:
#   bash scripts/windows-run.sh PROGRAM.exe [ARGS...]
# Where this machine executes 32-bit code, under 32-bit wine here; elsewhere
# inside the emulated machine (scripts/windows/guest-run.sh), with the same
# paths (the repository, the current folder, the folders of the program
# and of the files given as arguments, and those PARLINO_WINDOWS_SHARES
# names are shared), standard output,
# standard error and exit code. CTest calls it for
# every Windows test program. PARLINO_WINDOWS=native|emulated forces a route.
#
# The wine prefix is the build's own, "wineprefix" beside the CMakeCache.txt
# found upwards from PARLINO_WINE_BUILD_DIR, the program's folder or the
# current one (made on first use), unless WINEPREFIX is set. There is no
# display unless the caller sets one: message boxes then return at once.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[[ $# -gt 0 ]] || { echo "usage: windows-run.sh PROGRAM.exe [ARGS...]" >&2; exit 2; }

build_dir_above() {
    local dir=$1
    while [[ -n $dir && $dir != / ]]; do
        [[ ! -f $dir/CMakeCache.txt ]] || { echo "$dir"; return 0; }
        dir=$(dirname "$dir")
    done
    return 1
}
if [[ -z ${WINEPREFIX:-} ]]; then
    program_dir=$(cd "$(dirname "$1")" 2>/dev/null && pwd || echo "$PWD")
    build_dir=$(build_dir_above "${PARLINO_WINE_BUILD_DIR:-}" || build_dir_above "$program_dir" ||
        build_dir_above "$PWD" || true)
    WINEPREFIX=${build_dir:+$build_dir/wineprefix}
    WINEPREFIX=${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/parlino/wineprefix}
fi
export WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX

if [[ $(bash "$here/windows/route.sh") == emulated ]]; then
    # The folders of the program and of every argument that names a file,
    # and those the caller names in PARLINO_WINDOWS_SHARES (separated by
    # colons), such as the top of an unpacked ZIP when a path given from
    # its bin folder leads out of it (..\examples\talk.txt).
    shares=()
    for argument in "$@"; do
        [[ ! -e $argument ]] || shares+=(--share "$(cd "$(dirname "$argument")" && pwd)")
    done
    IFS=: read -ra named <<<"${PARLINO_WINDOWS_SHARES:-}"
    for folder in "${named[@]}"; do
        [[ -z $folder ]] || shares+=(--share "$folder")
    done
    exec bash "$here/windows/guest-run.sh" "${shares[@]}" --prefix "$WINEPREFIX" -- \
        bash "$here/windows-run.sh" "$@"
fi
[[ -n ${PARLINO_KEEP_DISPLAY:-} ]] || unset DISPLAY
exec wine "$@"
