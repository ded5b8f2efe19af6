#!/bin/sh
# Runs the program under Wine with the emulated port and punch attached, a
# punch as fast as a 75 characters-per-second one. With a display, use the
# window as on the bench; once it is closed, what was punched is shown.
# Without a display, a scripted session on a virtual one sends a sample file
# by itself and saves screenshots. Either way the results land in build/run/.
set -e
cd "$(dirname "$0")/.."
build=$PWD/build
out=$build/run
busy="--busy-ms 13"
mkdir -p "$out"
rm -f "$out/trace.txt" "$out/punched.bin"
export TAPELARK_WINE_DIR="$build/wine" TAPELARK_GIVEIO=present
wine_run=tests/tools/wine-run.sh

# Wine reads Unix paths best as drive Z: paths.
windows_path() {
    echo "Z:$1" | tr / '\\'
}

if [ -n "${DISPLAY:-}" ]; then
    echo "Pick a file, press a send button, then close the window."
    $wine_run "$build/tests/portemu.exe" $busy --trace "$(windows_path "$out/trace.txt")" \
        --punched "$(windows_path "$out/punched.bin")" -- "$build/tapelark.exe" || true
else
    echo "No display: a scripted session sends docs/sample.txt to LPT1."
    xvfb-run -a -s "-screen 0 1024x768x24" sh -c "
        $wine_run explorer /desktop=tapelark,640x360 '$build/tests/demo.exe' \
            '$(windows_path "$PWD/docs/sample.txt")' '$(windows_path "$out")' '$busy'
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
$wine_run "$build/tests/tapeview.exe" text "$(windows_path "$out/punched.bin")"
echo
echo "The register trace is in build/run/trace.txt."
