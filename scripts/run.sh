#!/bin/sh
# Runs the program under Wine with the emulated port and punch attached, a
# punch as fast as a 75 characters-per-second one.
#   run.sh          with a display, the window is yours; without one, as below
#   run.sh FILE     a scripted session on a virtual display sends FILE to LPT1
#                   and saves screenshots of the window
# Afterwards it shows what was punched, and draws the tape and the timing of
# the first bytes. Everything lands in build/run/.
set -e
file=${1:-}
cd "$(dirname "$0")/.."
build=$PWD/build
out=$build/run
# 12 ms of blank, 13 ms busy: 25 ms a byte, the pace of a 75
# characters-per-second punch driven by this program. --live shows each row
# as the punch takes its byte.
busy="--busy-ms 13 --live"
mkdir -p "$out"
rm -f "$out/trace.txt" "$out/punched.bin"
export TAPELARK_WINE_DIR="$build/wine" TAPELARK_GIVEIO=present
wine_run=tests/tools/wine-run.sh

# Wine reads Unix paths best as drive Z: paths.
windows_path() {
    echo "Z:$1" | tr / '\\'
}

if [ -n "${DISPLAY:-}" ] && [ -z "$file" ]; then
    echo "Pick a file, press a send button, then close the window."
    echo "The tape shows here, a row as the punch takes each byte."
    $wine_run "$build/portemu.exe" $busy --trace "$(windows_path "$out/trace.txt")" \
        --punched "$(windows_path "$out/punched.bin")" -- "$build/tapelark.exe" || true
else
    file=$(realpath "${file:-docs/sample.txt}")
    echo "A scripted session sends $file to LPT1."
    xvfb-run -a -s "-screen 0 1024x768x24" sh -c "
        $wine_run explorer /desktop=tapelark,640x360 '$build/tests/demo.exe' \
            '$(windows_path "$file")' '$(windows_path "$out")' '$busy'
        status=\$?
        sh tests/tools/stop-wine.sh '$build/wine'
        exit \$status"
fi

if [ ! -s "$out/punched.bin" ]; then
    echo "Nothing was punched."
    exit 0
fi
echo
echo "Punched $(wc -c < "$out/punched.bin") bytes:"
od -A d -t x1z -v "$out/punched.bin"
echo
tapeview() {
    $wine_run "$build/tapeview.exe" "$@"
}
tapeview text "$(windows_path "$out/punched.bin")"
echo
tapeview tape-svg "$(windows_path "$out/punched.bin")" "$(windows_path "$out/tape.svg")"
tapeview timing-svg "$(windows_path "$out/trace.txt")" "$(windows_path "$out/timing.svg")"
echo "In build/run/: trace.txt (every register access), punched.bin, tape.svg, timing.svg."
