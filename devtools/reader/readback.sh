#!/bin/sh
# `make readback`: the kit's whole loop, without a punch or a reader. A
# PDP-8 program (docs/hello.bin) is made a tape by tapeprep, punched
# through the real transfer onto the emulated punch, and the punched tape
# read back by taperead from the emulated reader, which loses a row on the
# way; taperead checks the read and compares it with the tape file, and
# names the lost row.
# FAULT holds other tapereader faults (FAULT='--drop 160:4'), or none
# (FAULT=''). Everything lands in BUILD/readback/, emptied first (BUILD is
# TAPELARK_BUILD, build/ by default).
# Exit code 0 when taperead's verdict is the one the fault calls for.
set -u
. "$(dirname "$0")/../run/build-env.sh"
out=$build/readback
rm -rf "$out"
mkdir -p "$out"
fault=${FAULT---lose 170}
trap 'sh "$stop_wine" "$TAPELARK_WINE_DIR"' EXIT

# The programs run in that folder, so that they name their files short.
cp "$root/docs/hello.bin" "$out/"
cd "$out"
echo "== tapeprep --format pdp8-bin --label HELLO hello.bin hello.tape"
sh "$wine_run" "$build/tapeprep.exe" --format pdp8-bin --label HELLO hello.bin hello.tape ||
    exit 1
echo
echo "== hello.tape punched on LPT1 through the emulated punch, a row as it takes each"
sh "$root/devtools/run/emulated.sh" --punched punched.tape -- \
    "$build/tests/send_file.exe" send hello.tape 378 || exit 1
echo
echo "== taperead COM7 readback.tape --compare hello.tape, the reader's fault: ${fault:-none}"
sh "$root/devtools/reader/read-tape.sh" "$build" COM7 "$out/punched.tape" "--rate 300 $fault" \
    readback.tape --compare hello.tape
status=$?
echo
if [ -n "$fault" ] && [ $status -eq 1 ]; then
    echo "taperead named the fault the reader made ($fault): exit code 1."
elif [ -z "$fault" ] && [ $status -eq 0 ]; then
    echo "A clean read: it checks and is the same as hello.tape."
else
    echo "Not the verdict the reader's fault (${fault:-none}) calls for: exit code $status."
    exit 1
fi
