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
install() {
    [ -z "$missing" ] && return 0
    echo "Installing:$missing"
    dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
}
sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
install
# A machine that cannot run 32-bit code runs the tests on an x86-64 build
# under 64-bit Wine.
if ! sh "$(dirname "$0")/../tests/tools/runs-32bit.sh"; then
    missing=
    for package in g++-mingw-w64-x86-64-win32 wine64; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' ||
            missing="$missing $package"
    done
    install
fi
