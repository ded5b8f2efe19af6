#!/bin/sh
# `make run FILE=`, as devtools/run/run.sh does it on the given build:
# - a file whose name has an apostrophe is sent whole, the previous run's
#   files are gone, and one send on LPT1 is summed up with tapeview's time
#   for its bytes;
# - with a punch that stops, the run gives up in a time scaled to the
#   file's size and fails;
# - a trace of a send on LPT2 stopped while the punch was busy, then one on
#   LPT1 whose second byte the punch refused, gives two sends of one byte.
#   check-run.sh SOURCE BUILD
set -e
source=$1 build=$2
work=$build/run-check
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
rm -rf "$work"
mkdir -p "$work" "$build/run"
file=$work/"it's a tape.txt"
printf 'HELLO\r\n' > "$file"
touch "$build/run/left-from-before.svg"

sh "$source/devtools/run/run.sh" "$file" > "$work/sent.log" 2>&1 || fail "run.sh failed: $(cat "$work/sent.log")"
[ ! -e "$build/run/left-from-before.svg" ] || fail "the previous run's files are still there"
cmp "$file" "$build/run/send1-lpt1.bin" || fail "the tape is not the file"
[ "$(grep -c '^Send ' "$work/sent.log")" -eq 1 ] &&
    grep -q '^Send 1 to LPT1 (378h): 7 bytes punched' "$work/sent.log" &&
    grep -q '^LPT1 (378h): 1 send(s), 7 bytes punched' "$work/sent.log" ||
    fail "not one send of 7 bytes on LPT1: $(cat "$work/sent.log")"
grep -qx '  On a Facit 4070: 7 rows: 0.7 in, 0.02 m, 0.2 s to punch at 25.3 ms a row.' \
    "$work/sent.log" || fail "the send's time is not tapeview's: $(cat "$work/sent.log")"
echo "a file named with an apostrophe: sent whole, summed up once with its time, old files gone"

start=$(date +%s)
if PUNCH='--stuck-after 2' sh "$source/devtools/run/run.sh" "$file" > "$work/stuck.log" 2>&1; then
    fail "a run whose punch stopped succeeded: $(cat "$work/stuck.log")"
fi
seconds=$(($(date +%s) - start))
grep -q 'gives up after 30 seconds' "$work/stuck.log" && [ "$seconds" -lt 100 ] ||
    fail "a punch that stopped was waited for $seconds s: $(cat "$work/stuck.log")"
grep -q '^Send 1 to LPT1 (378h): 2 bytes punched' "$work/stuck.log" ||
    fail "the stopped send is not summed up: $(cat "$work/stuck.log")"
echo "a punch that stopped: the run failed after $seconds s"

printf '%s\n' "10 out 27a 01" "20 in 279 7f" "30 out 278 ff" "12030 out 278 41" \
    "12040 out 27a 00" "13100 out 27a 01" "13110 in 279 ff x500" "20000 out 27a 01" \
    "30000 out 37a 01" "30010 in 379 7f" "30020 out 378 ff" "42030 out 378 42" \
    "42040 out 37a 00" "43100 out 37a 01" "43110 in 379 7f" "43120 out 378 ff" \
    "50000 out 378 43" "50010 out 37a 00" \
    "ERROR at 00401594: out dx, al, port 37a: blank data lines held before the byte: 6.88 ms, less than 12 ms: byte 43 not punched" \
    "51100 out 37a 01" > "$work/trace.txt"
[ "$(awk -v out="$work" -f "$source/devtools/run/sends.awk" "$work/trace.txt")" = "1 278 1 20
2 378 1 21" ] || fail "a stopped LPT2 send and an LPT1 send with a refused byte are not two sends of one byte each"
echo "a stopped send on LPT2 and one on LPT1 with a refused byte: two sends, one byte each"
