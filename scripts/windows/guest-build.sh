#!/usr/bin/env bash
# Builds the emulated x86-64 machine that runs the Windows checks where this
# machine cannot execute 32-bit code: a Debian 12 guest with 32-bit wine and
# the tools the Windows tests use, and a wine prefix already made inside it.
#
# The result lives in a cache outside the clone, in a folder named after a
# hash of what it holds (guest-packages.txt, guest-init.sh), so a changed
# list builds a new machine and later runs reuse the one built:
#   $PARLINO_GUEST_CACHE/<hash>/{vmlinuz,initrd.img,rootfs.img,manifest.txt}
# where manifest.txt lists every package's exact version in the machine.
# Prints that folder. Needs root (debootstrap, chroot) and Debian's
# debootstrap and qemu-system-x86, which scripts/setup.sh installs.
set -euo pipefail
# Standard output carries the folder alone; everything else goes to standard error.
exec 3>&1 1>&2
here=$(cd "$(dirname "$0")" && pwd)
cache_root=${PARLINO_GUEST_CACHE:-/var/cache/parlino-guest}
# What the machine holds: its Debian release, packages and init. Changing
# one of these (or the recipe number, for a change in how it is built)
# builds a new machine.
suite=bookworm
recipe=2
key=$( { echo "$suite $recipe"; cat "$here/guest-packages.txt" "$here/guest-init.sh"; } | sha256sum | cut -c1-16)
machine=$cache_root/$key
if [[ -f $machine/ready ]]; then
    echo "$machine" >&3
    exit 0
fi

mapfile -t packages < <(grep -v '^#' "$here/guest-packages.txt" | tr -s ' ' '\n' | grep .)

log() { echo "guest-build: $*" >&2; }
[[ $(id -u) -eq 0 ]] || { log "building the emulated machine needs root"; exit 1; }

# The Debian mirror this machine's apt already uses.
mirror=$(awk '/^URIs:/ && $2 ~ /debian\/?$/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
[[ -n $mirror ]] || mirror=$(awk '$1 == "deb" && $3 == "'$suite'" { print $2; exit }' /etc/apt/sources.list 2>/dev/null || true)
[[ -n $mirror ]] || mirror=http://deb.debian.org/debian

mkdir -p "$cache_root"
# One build at a time; a run that waited finds the machine the other built.
exec 8>"$cache_root/.lock"
flock 8
if [[ -f $machine/ready ]]; then
    echo "$machine" >&3
    exit 0
fi
# Machines built from another package list are of no further use.
# Nor are the leftovers of a build that was stopped.
find "$cache_root" -mindepth 1 -maxdepth 1 ! -name "$key" ! -name "$key.image" ! -name .lock -exec rm -rf {} +
# Two steps, each kept once done: the disk image with its kernel
# ($key.image), then the wine prefix made inside the running machine ($key).
image=$cache_root/$key.image
if [[ ! -f $image/image-ready ]]; then
    work=$(mktemp -d "$cache_root/$key.building.XXXXXX")
    tree=$work/tree
    cleanup() {
        local point
        for point in proc sys dev/pts dev; do
            if mountpoint -q "$tree/$point" 2>/dev/null; then umount -l "$tree/$point"; fi
        done
        rm -rf "$work"
    }
    trap cleanup EXIT

    started=$SECONDS
    log "debootstrap $suite from $mirror (a few minutes)"
    debootstrap --variant=minbase --arch=amd64 "$suite" "$tree" "$mirror" >"$work/debootstrap.log" 2>&1 || {
        tail -n 20 "$work/debootstrap.log" >&2
        log "debootstrap failed"
        exit 1
    }
    log "debootstrap took $((SECONDS - started)) s"

    # The release suite and its updates from this machine's mirror, and
    # nothing else: the machine has no network to take security updates
    # from, and a security mirror caught mid-sync must not stop its build.
    rm -f "$tree/etc/apt/sources.list"
    printf 'Types: deb\nURIs: %s\nSuites: %s %s-updates\nComponents: main\nSigned-By: %s\n' \
        "$mirror" "$suite" "$suite" /usr/share/keyrings/debian-archive-keyring.gpg \
        >"$tree/etc/apt/sources.list.d/debian.sources"
    echo parlino-guest >"$tree/etc/hostname"
    printf '127.0.0.1\tlocalhost\n127.0.1.1\tparlino-guest\n' >"$tree/etc/hosts"
    mount -t proc proc "$tree/proc"
    mount -t sysfs sys "$tree/sys"
    mount --bind /dev "$tree/dev"
    mount --bind /dev/pts "$tree/dev/pts"
    in_guest() { chroot "$tree" /usr/bin/env DEBIAN_FRONTEND=noninteractive LANG=C.UTF-8 "$@"; }
    started=$SECONDS
    in_guest dpkg --add-architecture i386
    {
        in_guest apt-get update -q &&
            in_guest apt-get install -y -q --no-install-recommends "${packages[@]}"
    } >"$work/packages.log" 2>&1 || {
        tail -n 30 "$work/packages.log" >&2
        log "installing the guest's packages failed"
        exit 1
    }
    in_guest apt-get clean
    # What it was built from, to compare two builds by.
    {
        echo "# $suite and $suite-updates from $mirror, built $(date -u +%Y-%m-%dT%H:%MZ)"
        in_guest dpkg-query -W -f '${Package}:${Architecture} ${Version}\n' | sort
    } >"$work/manifest.txt"
    log "packages took $((SECONDS - started)) s"
    for point in dev/pts dev sys proc; do umount "$tree/$point"; done

    # PID 1 of the guest: guest-init.sh.
    install -m 755 "$here/guest-init.sh" "$tree/sbin/parlino-guest-init"

    cp "$tree"/boot/vmlinuz-* "$work/vmlinuz"
    cp "$tree"/boot/initrd.img-* "$work/initrd.img"
    # Room for the wine prefix and the tests' own files beside the packages.
    size_mb=$(($(du -sm "$tree" | cut -f1) + 1536))
    started=$SECONDS
    mkfs.ext4 -q -F -L parlino-root -d "$tree" "$work/rootfs.img" "${size_mb}M"
    log "image of ${size_mb} MB took $((SECONDS - started)) s"
    rm -rf "$tree"
    touch "$work/image-ready"
    rm -rf "$image"
    mv "$work" "$image"
    trap - EXIT
fi

# The wine prefix every Windows check starts from, made inside the machine
# itself (its 32-bit wine runs there) and kept in the image.
started=$SECONDS
PARLINO_GUEST_MACHINE=$image bash "$here/guest-run.sh" --writable --timeout 900 -- bash -c '
    export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX=/opt/parlino/wineprefix
    rm -rf "$WINEPREFIX" && mkdir -p /opt/parlino
    wineboot --init && wineserver -w && test -f "$WINEPREFIX/system.reg"' || {
    log "making the wine prefix inside the emulated machine failed"
    exit 1
}
log "wine prefix inside the machine took $((SECONDS - started)) s"
touch "$image/ready"
rm -rf "$machine"
mv "$image" "$machine"
echo "$machine" >&3
