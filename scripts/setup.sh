#!/usr/bin/env bash
# Installs every Debian package the builds, tests and demos need. Run as root
# on Debian 12; packages already present are not fetched again.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    googletest libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libedit-dev
    clang libclang-rt-14-dev valgrind
    g++-mingw-w64-i686 wine wine32
    socat iproute2 procps util-linux tmux
    xvfb xdotool x11-apps imagemagick
)

missing=()
have_i386=$(dpkg --print-foreign-architectures | grep -c '^i386$' || true)
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done

if [[ ${#missing[@]} -eq 0 && $have_i386 -ne 0 ]]; then
    exit 0
fi
if [[ $(id -u) -ne 0 ]]; then
    echo "setup: missing packages (${missing[*]}); run this script as root" >&2
    exit 1
fi
[[ $have_i386 -ne 0 ]] || dpkg --add-architecture i386
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
