#!/bin/sh
# Runs the program under Wine with the emulated port and punches attached
# (emulated.sh), each as fast as a 75 characters-per-second punch.
#   run.sh          with a display, the window is yours; without one, as below
#   run.sh FILE     a scripted session on a virtual display sends FILE to LPT1
#                   and saves screenshots of the window
# PUNCH may hold more portemu options, e.g. PUNCH='--stuck-after 100'.
# Afterwards it sums up each send, with the time tapeview gives for its
# bytes, and each port, and for each send draws the tape and the timing of
# its first bytes. Everything lands in BUILD/run/,
# emptied first (BUILD is TAPELARK_BUILD, build/ by default).
# Exit code 0 when the session ran to its end, and the scripted one punched
# FILE exactly; 1 otherwise.
set -e
. "$(dirname "$0")/build-env.sh"
file=
if [ -n "${1:-}" ]; then
    [ -f "$1" ] || { echo "run: $1 is not a file" >&2; exit 1; }
    file=$(realpath "$1")
fi
cd "$root"
out=$build/run
rm -rf "$out"
mkdir -p "$out"

tapeview() {
    sh "$wine_run" "$build/tapeview.exe" "$@"
}

# tapeview's length line of a file: its rows, length and the time a person
# waits for it with the program, e.g. "7 rows: 0.7 in, 0.02 m, 0.2 s to
# punch at 25.3 ms a row".
tape_length() {
    tapeview text "$(windows_path "$1")" --rows 1 | head -n 1 | tr -d '\r' | sed 's/\.$//'
}

# That time in whole seconds, to the nearest: "1 min 5 s" is 65.
punch_seconds() {
    tape_length "$1" | awk '{
        sub(/ to punch .*/, ""); sub(/.*, /, ""); seconds = 0
        for (i = 1; i < NF; i += 2) seconds += $i * ($(i + 1) == "min" ? 60 : 1)
        print int(seconds + 0.5) }'
}

status=0
if [ -n "${DISPLAY:-}" ] && [ -z "$file" ]; then
    echo "Pick a file, press a send button, then close the window."
    echo "The tape shows here, a row as the punch takes each byte."
    sh devtools/run/emulated.sh --trace "$(windows_path "$out/trace.txt")" \
        --punched "$(windows_path "$out/punched.bin")" -- "$build/tapelark.exe" || status=$?
else
    file=${file:-$root/docs/sample.txt}
    size=$(wc -c < "$file")
    # Twice the file's time at the punch, and half a minute to start and
    # close the program.
    limit=$((30 + 2 * $(punch_seconds "$file")))
    echo "A scripted session sends $file ($size bytes) to LPT1;"
    echo "it gives up after $limit seconds."
    # The session's own exit code is lost inside the Wine desktop: it
    # leaves it in a file.
    xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
        sh devtools/wine/wine-run.sh explorer /desktop=tapelark,640x360 "$@"
        sh devtools/wine/stop-wine.sh "$TAPELARK_WINE_DIR"' run \
        "$build/tests/demo.exe" "$(windows_path "$file")" "$(windows_path "$out")" "$limit" \
        "--busy-ms 13 --live ${PUNCH:-}"
    status=$(tr -dc 0-9 < "$out/session-exit.txt" 2> /dev/null || true)
    [ -n "$status" ] || { echo "The scripted session did not finish."; status=1; }
fi

echo
awk -v out="$out" -f devtools/run/sends.awk "$out/trace.txt" > "$out/sends.txt" 2> /dev/null || true
[ -s "$out/sends.txt" ] || echo "Nothing was sent."
# punched.bin holds every byte the punches took, send after send.
offset=0
while read -r send base bytes ms; do
    case $base in
        378) port="LPT1 (378h)" stem=$out/send$send-lpt1 ;;
        *) port="LPT2 (278h)" stem=$out/send$send-lpt2 ;;
    esac
    mv "$out/send$send-trace.txt" "$stem-trace.txt"
    tail -c +$((offset + 1)) "$out/punched.bin" | head -c "$bytes" > "$stem.bin"
    offset=$((offset + bytes))
    echo "Send $send to $port: $bytes bytes punched in $ms ms."
    if [ "$bytes" -gt 0 ]; then
        echo "  On a Facit 4070: $(tape_length "$stem.bin")."
        tapeview tape-svg "$(windows_path "$stem.bin")" "$(windows_path "$stem-tape.svg")"
        tapeview timing-svg "$(windows_path "$stem-trace.txt")" "$(windows_path "$stem-timing.svg")"
    fi
done < "$out/sends.txt"
awk '{ sends[$2]++; bytes[$2] += $3 }
    END { for (base in sends) printf "LPT%d (%sh): %d send(s), %d bytes punched.\n",
        (base == "378" ? 1 : 2), base, sends[base], bytes[base] }' "$out/sends.txt" | sort
sh "$stop_wine" "$TAPELARK_WINE_DIR"
echo "In $out: trace.txt (every register access) and punched.bin; for each send,"
echo "sendN-PORT.bin (its bytes), -trace.txt, -tape.svg and -timing.svg."

if [ "$status" -ne 0 ]; then
    echo "The run failed (exit code $status)."
    exit 1
fi
if [ -n "$file" ] && ! cmp -s "$file" "$out/send1-lpt1.bin"; then
    echo "The tape is not $file byte for byte."
    exit 1
fi
