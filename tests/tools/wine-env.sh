# Sourced by the Wine scripts: which Wine runs the test programs here.
# The kit's programs are 32-bit, and 32-bit Wine runs them where this
# machine can run 32-bit x86 code. Some virtual machines cannot (their host
# turns IA-32 emulation off); there the tests run an x86-64 build of the
# same sources under 64-bit Wine, and only the checks of the shipped files
# look at the 32-bit build.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    TAPELARK_WINE=/usr/lib/wine/wine
    export WINEARCH=win32
else
    TAPELARK_WINE=/usr/lib/wine/wine64
    export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
fi
