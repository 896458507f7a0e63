#!/bin/bash
# PID 1 of the emulated machine: mounts what a program expects, loads the
# drivers for the shared folders, runs the boot script the runner put in the
# folder shared as "parlino-run" and powers the machine off whatever happens.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 HOME=/root
mount -t proc proc /proc 2>/dev/null
mount -t sysfs sys /sys 2>/dev/null
mount -t devtmpfs dev /dev 2>/dev/null
mkdir -p /dev/pts /dev/shm
mount -t devpts -o gid=5,mode=620,ptmxmode=666 devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /run
mount -t tmpfs tmpfs /tmp
modprobe -a 9p 9pnet_virtio overlay virtio_net 2>/dev/null
hostname parlino-guest
echo "parlino-guest: $(uname -r) up after $(cut -d' ' -f1 /proc/uptime) s" >/dev/console
ip link set lo up
mkdir -p /mnt/parlino-run
if mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 parlino-run /mnt/parlino-run; then
    bash /mnt/parlino-run/boot.sh
else
    echo "parlino-guest: no run folder shared" >/dev/console
fi
sync
echo o >/proc/sysrq-trigger
sleep 10
