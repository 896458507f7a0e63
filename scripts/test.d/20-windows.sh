#!/usr/bin/env bash
# The 32-bit Windows DLL (its tables, the host under wine, its message box on
# a virtual screen), then the GoogleTest suites built for Windows and run
# under wine. Where this machine executes 32-bit code, they run here; where it
# cannot, both presets' checks run inside the emulated x86-64 machine
# (scripts/windows/), booted once for the stage. PARLINO_WINDOWS=native or
# emulated forces a route. What ran is noted in build/windows-route.txt,
# which scripts/test.sh prints at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
rm -f build/windows-route.txt
forced=${PARLINO_WINDOWS:-}
route=$(bash scripts/windows/route.sh)
export PARLINO_WINDOWS=$route
case $route in
native) how="under wine on this machine" ;;
emulated) how="inside an emulated x86-64 machine (qemu, ${PARLINO_GUEST_ACCEL:-tcg}) with 32-bit wine" ;;
esac
if [[ -n $forced ]]; then
    how+=" (chosen by PARLINO_WINDOWS=$forced)"
elif [[ $route == native ]]; then
    how+=", which executes 32-bit x86 code"
else
    how+=", since this machine does not execute 32-bit x86 code"
fi
mkdir -p build
echo "Windows checks: $how"
presets=(windows windows-tests)
for preset in "${presets[@]}"; do
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j "${PARLINO_JOBS:-2}"
done

# Both presets' checks, stopping at the first preset that fails.
checks=(bash -c 'for preset in "$@"; do ctest --preset "$preset" || exit; done' checks "${presets[@]}")
started=$SECONDS
if [[ $route == native ]]; then
    "${checks[@]}"
    echo "Windows checks ran $how: passed in $((SECONDS - started)) s" >build/windows-route.txt
    exit 0
fi

bash scripts/setup.sh emulator
machine=$(bash scripts/windows/guest-build.sh)
built=$((SECONDS - started))
echo "Emulated machine's packages ($machine/manifest.txt):"
head -n 4 "$machine/manifest.txt"
# One boot for both presets: every test, with the socat, tmux and Xvfb it
# drives, runs beside wine inside the machine. Each build's wine prefixes are
# fresh copies of the one made when the machine was built. Wine is kept
# warm in the host tests' prefix and the suites' one, whose programs then
# start in seconds rather than tens of seconds (measured: the host tests
# 413 s cold, 105 s warm). Not in the prefix of the test that draws a
# message box: its wine must start with that test's own display.
started=$SECONDS
PARLINO_GUEST_MACHINE=$machine bash scripts/windows/guest-run.sh \
    --timeout "${PARLINO_GUEST_STAGE_TIMEOUT:-3000}" \
    --prefix "$root/build/windows/wineprefix" --prefix "$root/build/windows/wineprefix-host" \
    --prefix "$root/build/windows-tests/wineprefix" \
    -- bash scripts/windows/warm-wine.sh "$root/build/windows/wineprefix-host" \
    "$root/build/windows-tests/wineprefix" \
    -- "${checks[@]}"
echo "Windows checks ran $how: passed in $((SECONDS - started)) s in the machine," \
    "$built s to build or find it (cache: $machine)" >build/windows-route.txt
