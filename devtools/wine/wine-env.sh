# Sourced by the Wine scripts in this folder: which Wine runs the test
# programs here. The kit's programs are 32-bit, and 32-bit Wine runs them
# where this machine can run 32-bit x86 code; where it cannot, the tests
# run an x86-64 build of the same sources under 64-bit Wine.
if sh "$(dirname "$0")/runs-32bit.sh"; then
    TAPELARK_WINE=/usr/lib/wine/wine
    export WINEARCH=win32
else
    TAPELARK_WINE=/usr/lib/wine/wine64
    export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
fi
