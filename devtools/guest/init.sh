#!/bin/sh
# The guest's first process, in place of an init system: it mounts what Wine
# and Xvfb need and the host's two folders, runs the host's job, and powers
# the guest off, so that the host sees the run end when QEMU does.
#   /mnt/checkout  the checkout, read-only
#   /mnt/job       the job's folder, with job.sh; exit-code is left there
PATH=/usr/sbin:/usr/bin:/sbin:/bin
export PATH HOME=/root LANG=C.UTF-8
# The Wine prefix that the first boot made, with the giveio device.
export TAPELARK_WINE_DIR=/var/lib/tapelark-wine TAPELARK_GIVEIO=present
# The initrd may have mounted some already.
mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sysfs /sys
mountpoint -q /dev || mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
for folder in /dev/shm /run /tmp; do
    mount -t tmpfs tmpfs $folder
done
mount -o remount,rw /
hostname tapelark-guest
modprobe -a 9pnet_virtio 9p
mkdir -p /mnt/checkout /mnt/job
share="-t 9p -o trans=virtio,version=9p2000.L,msize=262144"
if mount $share,ro checkout /mnt/checkout && mount $share job /mnt/job; then
    cd /mnt/job && sh ./job.sh </dev/null >/dev/console 2>&1
    echo $? >/mnt/job/exit-code
    cd /
    # What the job left running (a Wine server, say) keeps its folder busy.
    kill -KILL -1 2>/dev/null
    sleep 1
    umount /mnt/job /mnt/checkout
fi
sync
mount -o remount,ro /
# Powers off at once; QEMU then exits.
echo o >/proc/sysrq-trigger
sleep 60
