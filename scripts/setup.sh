#!/usr/bin/env bash
# Installs the Debian packages a job needs. Run as root on Debian 12;
# packages already present are not fetched again.
#   bash scripts/setup.sh demo   what `bash scripts/demo.sh` needs: the
#                                compiler, CMake, Ninja, CLI11, and what the
#                                linux preset's configure looks for
#   bash scripts/setup.sh        everything: the demo's packages and every
#                                build, test and picture tool
#   bash scripts/setup.sh emulator  what builds and runs the emulated machine
#                                for the Windows checks on a machine that does
#                                not execute 32-bit code
set -euo pipefail

# Configuring the linux preset finds GoogleTest (it builds the tests too)
# and help2man (the manual page).
demo_packages=(
    build-essential cmake ninja-build pkg-config
    libcli11-dev libedit-dev
    libgtest-dev libgmock-dev help2man
)
test_packages=(
    git googletest libbenchmark-dev
    clang libclang-rt-14-dev valgrind
    g++-mingw-w64-i686 wine wine32 fonts-wine pandoc
    socat iproute2 procps util-linux man-db tmux
    xvfb xdotool x11-apps imagemagick xterm fonts-dejavu-core
)

# The emulated machine: Debian's own system emulator and the tool that
# builds the guest's Debian from the same mirror.
emulator_packages=(qemu-system-x86 debootstrap e2fsprogs binutils)

packages=("${demo_packages[@]}")
needs_i386=0
case ${1:-all} in
demo) ;;
emulator) packages=("${emulator_packages[@]}") ;;
all)
    packages+=("${test_packages[@]}")
    needs_i386=1 # wine32
    ;;
*)
    echo "usage: $0 [demo|all|emulator]" >&2
    exit 2
    ;;
esac

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
add_i386=0
if ((needs_i386)) && ! dpkg --print-foreign-architectures | grep -qx i386; then
    add_i386=1
fi

if [[ ${#missing[@]} -eq 0 && $add_i386 -eq 0 ]]; then
    exit 0
fi
if [[ $(id -u) -ne 0 ]]; then
    echo "setup: missing packages (${missing[*]}); run this script as root" >&2
    exit 1
fi
((add_i386 == 0)) || dpkg --add-architecture i386
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
