#!/bin/sh
# Ctrl+C while a tool writes its output removes the temporary file and
# leaves an existing OUT as it was. Under Wine a SIGINT to the program's
# process is its Ctrl+C.
#   ctrl-c.sh WINE-RUN STEPS.exe
set -e
wine_run=$1 steps=$2
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
echo "old" > "$folder/out.bin"
sh "$wine_run" "$steps" "Z:$folder/out.bin" \
    > "$folder/said" 2>&1 &
runner=$!
waited=0
until grep -q '^writing' "$folder/said" && [ -n "$(ls "$folder" | grep '^~tapelark-')" ]; do
    [ $waited -lt 600 ] || { echo "FAIL: it did not start writing"; cat "$folder/said"; exit 1; }
    sleep 0.1
    waited=$((waited + 1))
done
sleep 0.5
pkill -INT -f "safe_output_steps.exe Z:$folder"
status=0
wait $runner || status=$?
left=$(ls "$folder" | grep -v '^said$' | tr '\n' ' ')
[ "$left" = "out.bin " ] || { echo "FAIL: left in the folder: $left"; exit 1; }
[ "$(cat "$folder/out.bin")" = "old" ] || { echo "FAIL: OUT changed"; exit 1; }
[ $status -ne 0 ] || { echo "FAIL: exit code 0 after Ctrl+C"; exit 1; }
echo "Ctrl+C removed the temporary file and left OUT as it was (exit code $status)"
