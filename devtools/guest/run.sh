#!/bin/sh
# Boots the guest that build.sh made and runs one job in it:
#   run.sh [--write] GUEST JOB SECONDS
# GUEST is the guest's folder; JOB a folder here whose job.sh the guest runs
# as root, in that folder (/mnt/job), with this checkout read-only at
# /mnt/checkout. The job's output shows here as it runs, and its exit code
# is this script's. What the job changes on the guest's disk is dropped
# afterwards, unless --write keeps it.
# A guest that has not powered off after SECONDS is stopped, with a message
# and exit code 124: one run in a few hangs with the guest idle, cause
# unknown, and must not hold up whoever waits for it.
set -eu
snapshot=on
if [ "${1:-}" = --write ]; then
    snapshot=off
    shift
fi
guest=$1 job=$2 seconds=$3
checkout=$(cd "$(dirname "$0")/../.." && pwd)
rm -f "$job/exit-code"
# Without KVM this is TCG, whose SMAP emulation oopses the guest's kernel on
# the iret back into every 32-bit Wine process: so -smap. One processor: on
# two shared cores a second one made Wine two to three times slower.
status=0
timeout --foreground -k 10 "$seconds" qemu-system-x86_64 -accel tcg -cpu max,-smap -smp 1 -m 2048 \
    -kernel "$guest/vmlinuz" -initrd "$guest/initrd.img" \
    -append "root=/dev/vda rw init=/sbin/tapelark-init console=ttyS0 quiet panic=-1" \
    -drive "file=$guest/guest.img,format=raw,if=virtio,snapshot=$snapshot" \
    -virtfs "local,path=$checkout,mount_tag=checkout,security_model=none,readonly=on" \
    -virtfs "local,path=$job,mount_tag=job,security_model=none" \
    -nic none -display none -monitor none -serial stdio -no-reboot </dev/null || status=$?
if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    echo "guest: the timeout of $seconds s was hit: the guest was stopped before its job ended" >&2
    exit 124
fi
if [ ! -f "$job/exit-code" ]; then
    echo "guest: the guest stopped (QEMU exit code $status) before its job ended" >&2
    exit 1
fi
exit "$(cat "$job/exit-code")"
