#!/bin/sh
# Ctrl+C during tapecheck --watch ends the watch early and cleanly: the
# summary is printed and the exit code says whether the punch is ready.
# Under Wine a SIGINT to the program's process is its Ctrl+C, as the
# terminal sends it.
#   ctrl-c.sh WINE-RUN BUILD
set -e
. "$(dirname "$0")/../common/wait-for-line.sh"
wine_run=$1 build=$2
out=$(mktemp)
trap 'rm -f "$out"' EXIT
# A watch far longer than the test: only Ctrl+C can end it in time.
sh "$wine_run" "$build/portemu.exe" -- "$build/tapecheck.exe" --port lpt1 --watch 3600 \
    > "$out" 2>&1 &
runner=$!
wait_for_line '^Watching' "$out" "the watch did not start"
pkill -INT -f 'tapecheck.exe --port lpt1 --watch 3600'
status=0
wait $runner || status=$?
cat "$out"
grep -q '^Watch ended by Ctrl+C\.' "$out" || { echo "FAIL: no clean end of the watch"; exit 1; }
grep -q '^Ready to punch\.' "$out" || { echo "FAIL: no summary after the watch"; exit 1; }
[ $status -eq 0 ] || { echo "FAIL: exit code $status, not 0"; exit 1; }
echo "Ctrl+C ended the watch cleanly"
