#!/bin/sh
# Installs the Debian packages that are missing for building, testing and
# running the program under Wine. Extra package names may be given.
set -e
sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
# Installs those of the packages given that are not installed yet.
install() {
    missing=
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' ||
            missing="$missing $package"
    done
    [ -z "$missing" ] && return 0
    echo "Installing:$missing"
    dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
    # A mirror caught mid-sync fails one index now and then; the install
    # below still finds the packages in the others, or says which it lacks.
    $sudo apt-get update -q || echo "apt-get update had errors: installing anyway"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
}
install cmake make g++-mingw-w64-i686-win32 doctest-dev wine wine32:i386 xvfb xauth fonts-wine "$@"
# A machine that cannot run 32-bit code runs the tests on an x86-64 build
# under 64-bit Wine.
sh "$(dirname "$0")/../tests/tools/runs-32bit.sh" || install g++-mingw-w64-x86-64-win32 wine64
