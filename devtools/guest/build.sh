#!/bin/sh
# Builds the emulated machine that runs the shipped 32-bit programs where
# this one cannot run 32-bit code: Debian 12 amd64 with the i386
# architecture added and 32-bit Wine, booted by QEMU with its own kernel and
# initrd. An i386 system would not do: this machine cannot run the second
# stage of its debootstrap.
# The guest is kept outside any checkout, in TAPELARK_GUEST_DIR, by default
# ${XDG_CACHE_HOME:-~/.cache}/tapelark-guest/, and built again only when
# what it is made from changes. Prints that folder, and only that, on
# stdout when it is ready; what it does goes to stderr and its log.
# debootstrap and chroot need root: as root, or through sudo.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
source=$(cd "$here/../.." && pwd)
cache=${TAPELARK_GUEST_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/tapelark-guest}
mirror=http://deb.debian.org/debian
sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo

# What the guest is made from, the Wine prefix included: a change in any of
# these builds it again.
key=$(cat "$here/build.sh" "$here/init.sh" "$here/packages.txt" \
    "$source/devtools/wine/make-wine-prefix.sh" "$source/devtools/wine/wine-env.sh" \
    "$source/devtools/wine/runs-32bit.sh" | sha256sum | cut -d' ' -f1)
mkdir -p "$cache"
exec 9>"$cache/.lock"
flock 9
if [ "$(cat "$cache/key" 2>/dev/null)" = "$key" ]; then
    echo "$cache"
    exit 0
fi

new=$cache/new root=$cache/new/root log=$cache/build.log
start=$(date +%s)
step() {
    echo "guest: $* ($(($(date +%s) - start)) s)" >&2
}
unmount() {
    for mount in dev/pts proc; do
        ! mountpoint -q "$root/$mount" || $sudo umount "$root/$mount"
    done
}
fail() {
    unmount
    echo "guest: $1; the last lines of $log:" >&2
    tail -n 15 "$log" >&2
    exit 1
}
in_root() {
    $sudo chroot "$root" env DEBIAN_FRONTEND=noninteractive LC_ALL=C "$@" >>"$log" 2>&1
}
trap unmount EXIT
unmount
$sudo rm -rf "$new"
mkdir -p "$new"
: >"$log"

step "building the guest in $cache, from $mirror; the log is $log"
$sudo debootstrap --arch=amd64 --variant=minbase bookworm "$root" "$mirror" >>"$log" 2>&1 ||
    fail "debootstrap failed"
step "the base system is in place"
$sudo mount -t proc proc "$root/proc"
$sudo mount -t devpts devpts "$root/dev/pts"
packages=$(grep -v '^#' "$here/packages.txt")
in_root dpkg --add-architecture i386
in_root apt-get update -q || fail "the package indexes did not download"
in_root apt-get install -y -q --no-install-recommends --download-only $packages ||
    fail "the guest's packages did not download"
# The i386 packages whose scripts run 32-bit programs fail here; the guest
# configures them on its first boot.
in_root apt-get install -y -q --no-install-recommends $packages ||
    step "some packages are left to configure on the first boot"
in_root apt-get clean
$sudo rm -rf "$root/var/lib/apt/lists/"*
unmount
$sudo install -m 755 "$here/init.sh" "$root/sbin/tapelark-init"
step "the packages are installed"

# The kernel is booted directly: the guest needs no boot loader.
$sudo cp "$root"/boot/vmlinuz-* "$new/vmlinuz"
$sudo cp "$root"/boot/initrd.img-* "$new/initrd.img"
$sudo mke2fs -q -t ext4 -L tapelark -d "$root" "$new/guest.img" 6G >>"$log" 2>&1 ||
    fail "mke2fs failed"
$sudo rm -rf "$root"
$sudo chown -R "$(id -u):$(id -g)" "$new"
step "the disk image is made"

mkdir "$new/first-boot"
cat >"$new/first-boot/job.sh" <<'JOB'
set -e
dpkg --configure -a
[ -z "$(dpkg --audit)" ] || { dpkg --audit; exit 1; }
mkdir -p "$TAPELARK_WINE_DIR"
sh /mnt/checkout/devtools/wine/make-wine-prefix.sh "$TAPELARK_WINE_DIR/giveio" present
echo "the Wine prefix is made"
JOB
sh "$here/run.sh" --write "$new" "$new/first-boot" 1200 >>"$log" 2>&1 ||
    fail "the guest's first boot failed"
rm -rf "$new/first-boot"
step "the first boot configured the guest and made its Wine prefix"

rm -f "$cache/key"
mv "$new/guest.img" "$new/vmlinuz" "$new/initrd.img" "$cache/"
rmdir "$new"
echo "$key" >"$cache/key"
step "the guest is ready"
echo "$cache"
