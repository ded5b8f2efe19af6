#!/bin/sh
# The real program on a PC that has been up for weeks: Wine's tick count
# moved past 2^31 ms (24.9 days) with libfaketime, for the wineserver too,
# which keeps the count. Once just past 2^31, once 40 s before the count
# wraps at 2^32 (49.7 days); each run keeps its punched tape in TAPE_DIR.
# Usage: uptime.sh WINDOW_TESTS TAPE_DIR   (TAPELARK_WINE_DIR: a folder of
# its own, for a Wine server of its own)
set -e
wine=$(cd "$(dirname "$0")/../../devtools/wine" && pwd)
tests=$1 tapes=$2
# 32-bit Wine reads its clocks through the 64-bit-time calls
# (__clock_gettime64), which Debian 12's libfaketime does not move: the
# tick count would stay the real one, so the test runs where Wine is 64-bit.
if sh "$wine/runs-32bit.sh"; then
    echo "uptime: skipped: 32-bit Wine's clocks cannot be moved here"
    exit 77
fi
faketime=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1
[ -f "$faketime" ] || { echo "uptime: no $faketime (Debian package libfaketime)" >&2; exit 1; }
mkdir -p "$tapes"
# The prefix is made, and its server stopped, before the clock moves.
sh "$wine/wine-run.sh" cmd /c exit
sh "$wine/stop-wine.sh" "$TAPELARK_WINE_DIR"

# libfaketime moves the monotonic clocks, from which Wine counts its ticks,
# to the moved wall clock: the tick count becomes the moved wall clock in
# milliseconds, modulo 2^32. So FAKETIME=+25d lands past 2^31 only on some
# dates; the offset is worked out from the date instead.
offset_to() {
    now=$(date +%s%3N)
    echo $(( ($1 - now % 4294967296 + 4294967296) % 4294967296 / 1000 ))
}

status=0
for run in past-2-31:$((2147483648 + 600000)) near-wrap:$((4294967296 - 40000)); do
    name=${run%%:*} target=${run#*:}
    echo "uptime: $name, the tick count starting at about $target"
    LD_PRELOAD=$faketime FAKETIME="+$(offset_to "$target")" \
        TAPELARK_KEEP_TAPE="Z:$tapes/$name.bin" \
        sh "$wine/wine-run.sh" "$tests" --no-skip --test-suite=uptime || status=1
    sh "$wine/stop-wine.sh" "$TAPELARK_WINE_DIR"
done
exit $status
