#!/bin/sh
# Installs the Debian packages that are missing for building, testing and
# running the program under Wine, and only those this machine can use.
# Extra package names may be given.
set -e
here=$(cd "$(dirname "$0")" && pwd)
sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo

# Whether this machine runs 32-bit code decides the Wine: 32-bit Wine where
# it does; where it does not, 64-bit Wine for the x86-64 twin of the tests,
# and QEMU to run the shipped 32-bit programs in an emulated guest. The i386
# architecture is added only where it can be used: an i386 index that fails
# to download would otherwise block the whole install.
if sh "$here/wine/runs-32bit.sh"; then
    wanted="wine32:i386"
else
    # libfaketime moves 64-bit Wine's clocks for the uptime test; it cannot
    # move 32-bit Wine's.
    wanted="g++-mingw-w64-x86-64-win32 wine64 libfaketime qemu-system-x86 qemu-utils debootstrap e2fsprogs"
fi
wanted="cmake make g++-mingw-w64-i686-win32 doctest-dev wine xvfb xauth fonts-wine $wanted $*"

missing=
for package in $wanted; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' ||
        missing="$missing $package"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"

case $missing in
    *:i386*) dpkg --print-foreign-architectures | grep -qx i386 ||
        $sudo dpkg --add-architecture i386 ;;
esac

# A mirror caught mid-sync fails an index now and then: try once more, then
# install from the indexes that did download.
$sudo apt-get update -q || {
    echo "install-deps: an index did not download; trying once more"
    $sudo apt-get update -q ||
        echo "install-deps: an index still did not download; installing from the others"
}

# Why apt will not install one package, in a few words; empty if it would.
why_not() {
    out=$(LC_ALL=C apt-get install -s -q --no-install-recommends "$1" 2>&1) && return 0
    case $out in
        *"Unable to locate package"*) echo "not in the package indexes" ;;
        *"has no installation candidate"*) echo "no version of it can be installed" ;;
        *Depends:*) printf '%s\n' "$out" | sed -n 's/^ *[^ ]* *: *\(Depends: .*\)/\1/p' | head -n 1 ;;
        *) printf '%s\n' "$out" | grep '^E:' | head -n 1 | sed 's/^E: *//' ;;
    esac
}

DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing && exit 0
refused=
for package in $missing; do
    reason=$(why_not "$package")
    [ -n "$reason" ] && refused="$refused${refused:+; }$package ($reason)"
done
echo "install-deps: could not install ${refused:-$missing (together, though each alone could be)}" >&2
exit 1
