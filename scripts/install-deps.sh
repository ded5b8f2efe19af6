#!/bin/sh
# Installs the Debian packages that are missing for building, testing and
# running the program under Wine. Extra package names may be given.
set -e
need="cmake make g++-mingw-w64-i686-win32 doctest-dev wine wine32:i386 xvfb xauth fonts-wine $*"
missing=
for package in $need; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' ||
        missing="$missing $package"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
