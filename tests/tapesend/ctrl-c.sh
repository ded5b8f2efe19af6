#!/bin/sh
# Ctrl+C while tapesend punches: it stops after the byte in progress, the
# port is left at rest, and it says how many bytes the punch took and how
# to punch the rest. Under Wine a SIGINT to the program's process is its
# Ctrl+C, as the terminal sends it.
#   ctrl-c.sh WINE-RUN BUILD
set -e
. "$(dirname "$0")/../common/wait-for-line.sh"
wine_run=$1 build=$2
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
# About 75 s of tape: only Ctrl+C ends it within the test.
yes 'TAPELARK ' | head -c 3000 > "$folder/tape.bin"
sh "$wine_run" "$build/portemu.exe" --trace "Z:$folder/trace" --punched "Z:$folder/punched" \
    -- "$build/tapesend.exe" --port lpt1 "Z:$folder/tape.bin" > "$folder/said" 2>&1 &
runner=$!
wait_for_line '^3000 bytes on LPT1' "$folder/said" "it did not start"
sleep 3
pkill -INT -f "tapesend.exe --port lpt1 Z:$folder/tape.bin"
status=0
wait $runner || status=$?
# Wine's console output ends its lines in CR LF.
tr -d '\r' < "$folder/said" > "$folder/lines"
mv "$folder/lines" "$folder/said"
cat "$folder/said"
[ $status -eq 1 ] || { echo "FAIL: exit code $status, not 1"; exit 1; }
count=$(sed -n 's/^Stopped after \([0-9]*\) of 3000 bytes; the port is at rest\.$/\1/p' \
    "$folder/said")
[ -n "$count" ] && [ "$count" -gt 0 ] && [ "$count" -lt 3000 ] ||
    { echo "FAIL: no count of a tape stopped part-way"; exit 1; }
grep -q "^To punch the rest: tapesend --from $count," "$folder/said" ||
    { echo "FAIL: how to punch the rest is not said"; exit 1; }
[ "$(wc -c < "$folder/punched")" -eq "$count" ] ||
    { echo "FAIL: the punch took $(wc -c < "$folder/punched") bytes, not $count"; exit 1; }
head -c "$count" "$folder/tape.bin" | cmp -s - "$folder/punched" ||
    { echo "FAIL: the punched bytes are not the file's first $count"; exit 1; }
! grep -q '^ERROR' "$folder/trace" || { echo "FAIL: the handshake broke"; exit 1; }
last=$(tail -n 1 "$folder/trace" | cut -d' ' -f2-)
[ "$last" = "out 37a 01" ] || { echo "FAIL: the last access was $last, not at rest"; exit 1; }
echo "Ctrl+C stopped the tape after $count bytes, the port at rest"
