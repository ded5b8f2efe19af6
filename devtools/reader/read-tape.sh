#!/bin/sh
# Reads a tape with taperead under Wine from the emulated reader, as a
# person reads one: the tape waits in the reader, taperead starts, and once
# it waits for the reader the reader's start button is pressed; with
# --control xon, taperead's XON starts it instead.
#   read-tape.sh BUILD PORT TAPE 'READER OPTIONS' TAPEREAD-ARGUMENTS...
# PORT is COM1 to COM256, mapped to the reader's pseudo-terminal in the
# build's Wine prefix that has giveio; READER OPTIONS are tapereader's
# (its faults); the arguments follow PORT on taperead's command line.
# INTERRUPT=SECONDS presses Ctrl+C that long after the start.
# Prints taperead's output; exits with its exit code.
set -u
build=$1 port=$2 tape=$3 reader_options=$4
shift 4
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../wine/wine-run.sh
export TAPELARK_GIVEIO=present TAPELARK_WINE_DIR="${TAPELARK_WINE_DIR:-$build/wine}"
# The prefix is made on first use.
sh "$wine_run" "$build/taperead.exe" --version >/dev/null || exit 1
link=$TAPELARK_WINE_DIR/giveio/dosdevices/$(echo "$port" | tr A-Z a-z)
log=$(mktemp) out=$(mktemp)
trap 'rm -f "$log" "$out"' EXIT

# Options are words, one each.
# shellcheck disable=SC2086
"$build/tests/tapereader" "$tape" "$link" --wait $reader_options >"$log" 2>&1 &
reader=$!
waited=0
until [ -L "$link" ]; do
    kill -0 $reader 2>/dev/null && [ $waited -lt 100 ] || { cat "$log"; exit 1; }
    sleep 0.1
    waited=$((waited + 1))
done
sh "$wine_run" "$build/taperead.exe" "$port" "$@" >"$out" 2>&1 &
taperead=$!
waited=0
until grep -q '^Waiting for the reader' "$out" || [ $waited -ge 600 ]; do
    kill -0 $taperead 2>/dev/null || break
    sleep 0.1
    waited=$((waited + 1))
done
case " $* " in
    *" --control xon "*) ;;
    *) kill -USR1 $reader 2>/dev/null ;;
esac
if [ -n "${INTERRUPT:-}" ]; then
    sleep "$INTERRUPT"
    kill -INT $taperead
fi
wait $taperead
status=$?
kill $reader 2>/dev/null
wait $reader 2>/dev/null
cat "$out"
exit $status
