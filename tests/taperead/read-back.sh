#!/bin/sh
# taperead.exe under Wine reads a pdp8-bin tape from the emulated reader on
# a pseudo-terminal mapped to COM42: a clean read started by XON; a row
# lost, a row read twice, a hole not seen, each named at its offset; a
# pause longer than --idle, --rows and Ctrl+C, each ending the read with
# every row read so far in OUT; a port that does not exist.
#   read-back.sh SOURCE BUILD
set -u
source=$1 build=$2
work=$build/tests/taperead-check
rm -rf "$work"
mkdir -p "$work"
export TAPELARK_GIVEIO=present
failures=0

windows_path() {
    printf 'Z:%s\n' "$1" | tr / '\\'
}
fail() {
    failures=$((failures + 1))
    echo "FAIL: $*"
}

sh "$source/devtools/wine/wine-run.sh" "$build/tapeprep.exe" --format pdp8-bin --label HELLO \
    "$(windows_path "$source/docs/hello.bin")" "$(windows_path "$work/hello.tape")" >/dev/null ||
    { echo "FAIL: no tape to read"; exit 1; }
tape=$work/hello.tape
original=$(windows_path "$tape")

# A read of the tape with the reader's faults; the output is NAME.txt, the
# rows NAME.tape; the exit code must be WANT.
#   read_tape NAME WANT 'READER OPTIONS' TAPEREAD-OPTIONS...
read_tape() {
    name=$1 want=$2 faults=$3
    shift 3
    sh "$source/devtools/reader/read-tape.sh" "$build" COM42 "$tape" "--rate 2000 $faults" \
        "$(windows_path "$work/$name.tape")" --idle 1 "$@" >"$work/$name.out" 2>&1
    status=$?
    tr -d '\r' <"$work/$name.out" >"$work/$name.txt"
    echo "---- $name: exit code $status"
    cat "$work/$name.txt"
    [ $status -eq "$want" ] || fail "$name: exit code $status, not $want"
}
says() {
    grep -qF -- "$2" "$work/$1.txt" || fail "$1: no \"$2\""
}
# OUT holds the tape's rows from FIRST, COUNT of them.
holds() {
    name=$1 first=$2 count=$3
    tail -c +$((first + 1)) "$tape" | head -c "$count" | cmp -s - "$work/$name.tape" ||
        fail "$name: $name.tape is not rows $first to $((first + count - 1)) of the tape"
}

# The clean read: XON starts the reader; the tape checks and is the same.
read_tape clean 0 "" --control xon --compare "$original"
says clean "holds a tape in pdp8-bin, and it checks"
says clean "The same: 44 bytes of pdp8-bin data compared, without leader and"
says clean "The read ended: no row came for 1 s."
holds clean 0 "$(wc -c <"$tape")"

# A row of the data lost, the read started partway into the leader.
read_tape lost 1 "--start 140 --lose 170" --compare "$original"
says lost "lost 1 row at offset 170 of $original:"
says lost "the rest (26 rows) matches shifted by 1 row."
says lost "Offset 170 is 1.7 in (4.3 cm) from the start of the data."

# A row read twice; the reader runs off partway through the trailer.
read_tape repeated 1 "--repeat 179 --end 250" --compare "$original"
says repeated "has 1 row too many at its offset 180 (offset 180 of $original):"
says repeated "a row read twice."
says repeated "Offset 180 is 2.7 in (6.9 cm) from the start of the data."

# A hole not seen: row 160 is 08, channel 4 alone.
read_tape misread 1 "--drop 160:4" --compare "$original"
says misread "First difference at offset 160 of $original: 08 there, 00 read back"
says misread "Only that row differs: channel 4 punched, not read;"
says misread "Offset 160 is 0.7 in (1.8 cm) from the start of the data."
says misread "holds a tape in pdp8-bin with a fault:"

# The reader stops for longer than --idle: the read ends, its rows kept.
read_tape paused 1 "--pause 190:4"
says paused "The read ended: no row came for 1 s."
says paused "holds the 190 rows read."
holds paused 0 190

read_tape rows 1 "" --rows 100
says rows "The read ended after --rows 100."
holds rows 0 100

INTERRUPT=3 read_tape interrupted 1 "--rate 50"
says interrupted "The read ended by Ctrl+C."
rows=$(wc -c <"$work/interrupted.tape")
[ "$rows" -gt 20 ] || fail "interrupted: only $rows rows kept"
holds interrupted 0 "$rows"

sh "$source/devtools/wine/wine-run.sh" "$build/taperead.exe" COM43 "$(windows_path "$work/none.tape")" \
    >"$work/none.out" 2>&1
status=$?
tr -d '\r' <"$work/none.out" >"$work/none.txt"
cat "$work/none.txt"
[ $status -eq 1 ] || fail "no port: exit code $status, not 1"
says none "taperead: there is no COM43 on this PC."
[ ! -e "$work/none.tape" ] || fail "no port: none.tape was written"

[ $failures -eq 0 ] && echo "all reads as they should be"
[ $failures -eq 0 ]
