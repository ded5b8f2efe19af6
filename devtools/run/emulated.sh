#!/bin/sh
# Runs any Windows program of the build under the emulated port and punches,
# in the build's Wine prefix that has the giveio device:
#   sh devtools/run/emulated.sh build/tapecheck.exe --watch 10
#   sh devtools/run/emulated.sh [PORTEMU OPTIONS] -- PROGRAM [ARGS...]
# The punches take a byte in 13 ms, as a 75 characters-per-second punch
# driven by this program, and show each row as they take it. PUNCH may hold
# more portemu options, e.g. PUNCH='--absent lpt2'; `portemu --help` lists
# them. TAPELARK_BUILD picks another build folder than build/.
set -e
. "$(dirname "$0")/build-env.sh"
case ${1:-} in
    -*) ;;
    *) set -- -- "$@" ;;
esac
# PUNCH holds options, one word each.
exec sh "$wine_run" "$build/portemu.exe" --busy-ms 13 --live ${PUNCH:-} "$@"
