#!/usr/bin/env bash
# Runs one command inside the emulated x86-64 machine (see guest-build.sh)
# and powers it off: the repository, the current folder and any --share
# folder are mounted at the same paths inside as outside, the command's
# standard output, standard error and exit code come back.
#
#   guest-run.sh [--timeout SECONDS] [--share DIR]... [--prefix DIR]...
#                [--writable] -- COMMAND [ARGS...]
#
# --prefix DIR   a fresh copy of the machine's ready-made wine prefix is
#                mounted at DIR for the run (nothing written to it comes back)
# --writable     changes to the machine's disk are kept (building it only)
# A machine that has not powered off by the time limit is killed; the run then
# fails with exit code 124 and the machine's last console lines.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
limit=${PARLINO_GUEST_TIMEOUT:-900}
shares=("$repo" "$PWD")
prefixes=()
snapshot=on
while [[ $# -gt 0 ]]; do
    case $1 in
    --timeout) limit=$2; shift 2 ;;
    --share) shares+=("$(cd "$2" && pwd)"); shift 2 ;;
    --prefix) prefixes+=("$2"); shift 2 ;;
    --writable) snapshot=off; shift ;;
    --) shift; break ;;
    *) echo "guest-run: unknown option $1" >&2; exit 2 ;;
    esac
done
[[ $# -gt 0 ]] || { echo "usage: guest-run.sh [options] -- COMMAND [ARGS...]" >&2; exit 2; }
machine=${PARLINO_GUEST_MACHINE:-$(bash "$here/guest-build.sh")}

run=$(mktemp -d "${TMPDIR:-/tmp}/parlino-guest.XXXXXX")
qemu_pid=''
cleanup() {
    [[ -z $qemu_pid ]] || kill "$qemu_pid" 2>/dev/null || true
    rm -rf "$run"
}
trap cleanup EXIT

# Each folder shared once: one inside another shared folder is reached there.
mapfile -t shares < <(printf '%s\n' "${shares[@]}" | awk '{ print length($0) "\t" $0 }' | sort -n | cut -f2- | awk '
    { for (i = 1; i <= n; i++) if ($0 == kept[i] || index($0, kept[i] "/") == 1 || kept[i] == "/") next
      kept[++n] = $0; print }')

# What the guest does: mount the shares and the prefixes, bring up its
# network card, run the command with this environment in this folder.
{
    echo 'set -u'
    echo 'run=/mnt/parlino-run'
    declare -p shares prefixes
    echo "cwd=$(printf '%q' "$PWD")"
    # The variables the tests read, passed on; inside, wine runs natively.
    export -p | grep -E '^declare -x (PARLINO_|CTEST_|GTEST_|WINE|LANG=|LC_|TZ=|TERM=)' || true
    echo 'export PARLINO_WINDOWS=native PARLINO_EMULATED=1'
    printf 'command=('; printf '%q ' "$@"; echo ')'
    cat <<'BOOT'
exec 3>/dev/console
for i in "${!shares[@]}"; do
    mkdir -p "${shares[i]}"
    mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144,cache=loose "share$i" "${shares[i]}" ||
        echo "parlino-guest: cannot mount ${shares[i]}" >&3
done
for i in "${!prefixes[@]}"; do
    mkdir -p "${prefixes[i]}" "/tmp/prefix$i/upper" "/tmp/prefix$i/work"
    mount -t overlay overlay -o "lowerdir=/opt/parlino/wineprefix,upperdir=/tmp/prefix$i/upper,workdir=/tmp/prefix$i/work" \
        "${prefixes[i]}" || echo "parlino-guest: cannot mount a wine prefix at ${prefixes[i]}" >&3
done
if ip link set eth0 up 2>/dev/null; then
    ip addr add 10.0.2.15/24 dev eth0
    ip route add default via 10.0.2.2
fi
echo "parlino-guest: running ${command[*]}" >&3
status=0
cd "$cwd" && "${command[@]}" </dev/null >"$run/stdout" 2>"$run/stderr" || status=$?
sync
echo "$status" >"$run/status"
echo "parlino-guest: exit code $status" >&3
BOOT
} >"$run/boot.sh"
: >"$run/stdout"
: >"$run/stderr"

# Full emulation by default: the machines this is for have no usable KVM
# (where /dev/kvm exists here, a guest on it may hang before its first line).
# Without -smap the guest kernel's return to 32-bit user code does not fault
# under TCG. PARLINO_GUEST_ACCEL=kvm uses KVM where it works.
if [[ ${PARLINO_GUEST_ACCEL:-tcg} == kvm ]]; then
    accel=(-accel kvm -cpu host)
else
    accel=(-accel tcg,thread=multi -cpu max,-smap)
fi
qemu=(qemu-system-x86_64 "${accel[@]}" -machine q35 -smp 2 -m 4G
    -nodefaults -display none -no-reboot -monitor none -serial "file:$run/console.log"
    -kernel "$machine/vmlinuz" -initrd "$machine/initrd.img"
    -append "root=/dev/vda rw console=ttyS0 panic=1 quiet loglevel=4 net.ifnames=0 init=/sbin/parlino-guest-init"
    -drive "file=$machine/rootfs.img,if=virtio,format=raw,snapshot=$snapshot"
    -nic user,model=virtio-net-pci,restrict=on
    -virtfs "local,path=$run,mount_tag=parlino-run,security_model=none")
for i in "${!shares[@]}"; do
    qemu+=(-virtfs "local,path=${shares[i]},mount_tag=share$i,security_model=none")
done

timeout --kill-after=10 "$limit" "${qemu[@]}" </dev/null &
qemu_pid=$!
tail -n +1 -f --pid="$qemu_pid" "$run/stdout" &
out_pid=$!
tail -n +1 -f --pid="$qemu_pid" "$run/stderr" >&2 &
err_pid=$!
qemu_status=0
wait "$qemu_pid" || qemu_status=$?
qemu_pid=''
wait "$out_pid" "$err_pid" || true

if [[ ! -s $run/status ]]; then
    if ((qemu_status == 124 || qemu_status == 137)); then
        echo "guest-run: the emulated machine did not finish within $limit s and was stopped" >&2
    else
        echo "guest-run: the emulated machine ended without finishing the command (qemu exit $qemu_status)" >&2
    fi
    echo "guest-run: its last console lines:" >&2
    tail -n 40 "$run/console.log" >&2 || true
    exit 124
fi
exit "$(cat "$run/status")"
