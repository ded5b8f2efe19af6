#!/bin/sh
# The shipped programs run as a user runs them, in a folder with them:
# - each tool's commands as the README shows them, through cmd, with the
#   output the README shows, its table of codes and its pictures;
# - tapecheck under the emulated port, on benches ready and not;
# - the program punching two files through the emulated port: one with
#   every byte value, one a tape of a few hundred bytes that tapeprep made;
#   tapesend punching that tape on a card's port at D010h.
#   Each tape byte for byte, the register accesses in order (punch_check).
# Bytes, texts and order are checked, never pace: this also runs in an
# emulated machine, many times slower than a real one.
#   check-shipped.sh SOURCE BUILD WORK
# BUILD holds the programs and tests/punch_check.exe; WORK is emptied first
# and keeps what each step made. The Wine prefix is the one with giveio
# under TAPELARK_WINE_DIR, BUILD/wine by default (devtools/wine/wine-run.sh).
# Exit code 0 when all holds.
set -u
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" sh "$0" "$@"
fi
source=$1 build=$2 work=$3
export TAPELARK_GIVEIO=present TAPELARK_WINE_DIR="${TAPELARK_WINE_DIR:-$build/wine}"
# Bounds each program's run: a hang fails its step, not the whole check.
step_seconds=300
checks=0 failures=0

rm -rf "$work"
mkdir -p "$work/tests"
work=$(cd "$work" && pwd)
cp "$build/tapelark.exe" "$build/tapecheck.exe" "$build/tapeprep.exe" "$build/tapeview.exe" \
    "$build/tapesend.exe" "$build/taperead.exe" "$build/portemu.exe" "$source/docs/sample.txt" "$source/docs/hello.lda" "$work/" || exit 1
cp "$build/tests/punch_check.exe" "$work/tests/" || exit 1
cd "$work"
trap 'sh "$source/devtools/wine/stop-wine.sh" "$TAPELARK_WINE_DIR"' EXIT

checked() {
    checks=$((checks + 1))
    if [ -n "$2" ]; then
        failures=$((failures + 1))
        printf 'FAIL: %s: %s\n' "$1" "$2"
    else
        printf 'ok: %s\n' "$1"
    fi
}

# Runs a command within step_seconds; its output lands in out.txt, its exit
# code in status.
bounded() {
    timeout -k 10 $step_seconds "$@" >out 2>&1
    status=$?
    if [ $status -eq 124 ] || [ $status -eq 137 ]; then
        echo "(the timeout of $step_seconds s was hit)" >>out
    fi
    tr -d '\r' <out >out.txt
}
wine() {
    bounded sh "$source/devtools/wine/wine-run.sh" "$@"
}

# The output block that the README shows after a command line, if any: the
# command must end its block of commands, and the output is the indented
# block after it. A command shown with output more than once: the Nth.
readme_output() {
    awk -v command="$1" -v nth="${2:-1}" '
        function indent() { match($0, /^ */); return RLENGTH }
        state == 0 && indent() >= 4 && substr($0, indent() + 1) == command {
            state = 1; depth = indent(); next }
        state == 1 { state = ($0 == "") ? 2 : 0; next }
        state == 2 { state = (indent() >= depth) ? 3 : 0; if (state == 3) found++ }
        state == 3 && $0 != "" && indent() < depth { if (found == nth) exit; state = 0; blank = 0 }
        state == 3 && $0 == "" { blank++; next }
        state == 3 && found == nth { for (; blank > 0; blank--) print ""; print substr($0, depth + 1) }
        state == 3 { blank = 0 }
    ' "$source/README.md"
}

# A command run in a command prompt as the README shows it, with the exit
# code it must give, and the output the README shows, if it shows one.
command_line() {
    want=$1 line=$2
    wine cmd /c "$line"
    problem= shown=
    # Markdown keeps no blanks at the end of a line.
    echo "$line" >>shown-commands.txt
    readme_output "$line" "$(grep -cxF -- "$line" shown-commands.txt)" >expected.txt
    sed -i 's/ *$//' out.txt
    [ -s expected.txt ] && shown=", its output as the README shows it"
    if [ $status -ne "$want" ]; then
        problem="exit code $status, not $want: $(cat out.txt)"
    elif [ -n "$shown" ] && ! cmp -s expected.txt out.txt; then
        problem="its output is not the README's: $(diff expected.txt out.txt)"
    fi
    checked "$line (exit code $want$shown)" "$problem"
}

# The bytes of a file, or of stdin, in hex, upper case, on one line.
hex() {
    od -An -v -tx1 "$@" | tr -s ' \n' '  ' | sed 's/^ //; s/ $//' | tr a-f A-F
}

# A picture of a tape: a feed hole for each row, a hole for each bit set,
# and the tape's length and time as tapeview text states them.
check_picture() {
    picture=$1 tape=$2
    wine "$work/tapeview.exe" text "$tape"
    length=$(head -n 1 out.txt | sed 's/\.$//')
    holes=$(od -An -v -tu1 "$tape" | awk '{ for (i = 1; i <= NF; i++)
        for (byte = $i; byte > 0; byte = int(byte / 2)) holes += byte % 2 } END { print holes + 0 }')
    problem=
    [ "$(grep -c 'class="feed"' "$picture")" -eq "$(wc -c <"$tape")" ] ||
        problem="not a feed hole for each of its $(wc -c <"$tape") rows"
    [ "$(grep -c 'class="hole"' "$picture")" -eq "$holes" ] ||
        problem="${problem:-not the $holes holes of its bytes}"
    grep -qF "Tape, $length<" "$picture" || problem="${problem:-no \"Tape, $length\"}"
    tail -n 1 "$picture" | grep -qx '</svg>' || problem="${problem:-it does not end}"
    checked "$picture shows $tape" "$problem"
}

# The README's first tape: 20 rows of feed holes, the label in channels 1 to
# 7, the file, 20 rows of feed holes.
check_first_tape() {
    size=$(wc -c <hello.tape)
    problem=
    [ "$(head -c 20 hello.tape | hex)" = "$(printf '%020d' 0 | tr 0 '\000' | hex)" ] ||
        problem="no 20 rows of leader first"
    [ "$(tail -c 27 hello.tape | hex)" = "$(printf 'HELLO\r\n%020d' 0 | tr 0 '\000' | hex)" ] ||
        problem="it does not end with the file and 20 rows of trailer"
    label=$(head -c $((size - 27)) hello.tape | tail -c +21 | hex)
    if [ -z "$label" ] || echo "$label" | tr ' ' '\n' | grep -q '^[89A-F]'; then
        problem="${problem:-the label is not in channels 1 to 7: $label}"
    fi
    checked "the first tape: leader, label HELLO, HELLO CR LF, trailer" "$problem"
}

# Each code of the README's table turns HELLO CR LF into the bytes it shows.
check_codes() {
    grep '^| `[a-z0-9-]*`.* | `[0-9A-F ]*` |$' "$source/README.md" >codes.txt
    while IFS='|' read -r _ code _ bytes _; do
        code=$(echo "$code" | tr -d '` ' | sed 's/(default)//') bytes=$(echo $bytes | tr -d '`')
        wine "$work/tapeprep.exe" --code "$code" --leader 0 --trailer 0 hello.txt "$code.tape"
        problem=
        [ $status -eq 0 ] || problem="exit code $status: $(cat out.txt)"
        [ -n "$problem" ] || [ "$(hex "$code.tape")" = "$bytes" ] ||
            problem="$(hex "$code.tape"), not $bytes"
        checked "--code $code: HELLO CR LF as the README's table" "$problem"
    done <codes.txt
}

# One Wine server for the whole check, kept running: in the emulated
# machine a fresh one for each program costs it 15 s or more. The first
# program makes the prefix when there is none yet.
wine cmd /c exit
WINEPREFIX=$TAPELARK_WINE_DIR/giveio wineserver -w
WINEPREFIX=$TAPELARK_WINE_DIR/giveio wineserver -p

# The tools' commands in the README's order, with the exit codes they give.
command_line 0 'echo HELLO> hello.txt'
command_line 0 'tapeprep --leader 20 --trailer 20 --label HELLO hello.txt hello.tape'
check_first_tape
check_codes
command_line 0 'tapeprep --code ascii-even hello.txt hello.tape'
command_line 0 'tapeview text hello.tape --from 118 --rows 10'
command_line 0 "echo IT'S 42> its.txt"
command_line 0 'tapeprep --code us-tty its.txt its.tape'
command_line 0 'tapeview text its.tape --from 120 --rows 11'
command_line 0 'echo G01 X-15.> part.nc'
command_line 0 'tapeprep --code eia --leader 4 --trailer 4 part.nc part.tape'
command_line 0 'tapeview text part.tape --code eia'
command_line 0 'tapeprep --test-strip --leader 5 --trailer 5 strip.tape'
command_line 0 'tapeview text strip.tape'
command_line 0 'tapeprep --format pdp11-lda --label HELLO hello.lda lda.tape'
command_line 0 'tapeview check lda.tape'
command_line 0 'tapeprep --leader 0 --trailer 0 --to 170 lda.tape readback.bin'
command_line 1 'tapeview check readback.bin'
echo 'an earlier tape' >again.tape
command_line 1 'tapeprep --format pdp11-lda readback.bin again.tape'
problem=
[ "$(cat again.tape)" = 'an earlier tape' ] || problem="again.tape was written"
checked "a refused --format leaves OUT as it was" "$problem"
command_line 0 'tapeprep --leader 12 --trailer 12 --label Sample sample.txt sample.tape'
command_line 0 'tapeview strip-svg sample.tape prepared-tape.svg'
check_picture prepared-tape.svg sample.tape
command_line 0 'tapeview tape-svg sample.txt sample-tape.svg'
check_picture sample-tape.svg sample.txt
command_line 0 'tapeprep --leader 0 --trailer 0 --to 123 hello.tape readback.bin'
command_line 1 'tapeview compare hello.tape readback.bin'
command_line 0 'tapeprep --leader 0 --trailer 0 --to 121 hello.tape part1.bin'
command_line 0 'tapeprep --leader 0 --trailer 0 --from 122 hello.tape part2.bin'
command_line 0 'copy /b part1.bin+part2.bin readback.bin'
command_line 1 'tapeview compare hello.tape readback.bin'
command_line 0 'tapeprep --from 123 --leader 20 --trailer 20 hello.tape rest.tape'
command_line 0 'tapeview text rest.tape --from 18 --rows 8'

# A byte the code cannot carry: refused, named, and no tape written.
printf 'ok\r\nx\344\r\n' >notes.txt
wine "$work/tapeprep.exe" --code ascii-even notes.txt notes.tape
problem=
[ $status -eq 1 ] || problem="exit code $status"
grep -qF 'tapeprep: notes.txt, line 2, column 2: byte 0xE4 is not 7-bit ASCII.' out.txt ||
    problem="${problem:-not the README's refusal}: $(cat out.txt)"
[ ! -e notes.tape ] || problem="${problem:-notes.tape was written}"
checked "a byte ascii-even cannot carry is refused as the README shows" "$problem"

# Help and version, as every tool has them; /? is help for the shipped ones.
version=$(sed -n 's/^project(tapelark VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
for tool in tapeprep tapeview tapecheck tapesend taperead portemu; do
    wine "$work/$tool.exe" --version
    problem=
    [ $status -eq 0 ] && [ "$(cat out.txt)" = "$tool $version" ] ||
        problem="exit code $status: $(cat out.txt)"
    checked "$tool --version" "$problem"
    wine "$work/$tool.exe" --help
    problem=
    [ $status -eq 0 ] && grep -q "^usage: $tool" out.txt || problem="exit code $status: $(cat out.txt)"
    checked "$tool --help" "$problem"
    [ $tool = portemu ] && continue
    mv out.txt help.txt
    wine "$work/$tool.exe" '/?'
    problem=
    [ $status -eq 0 ] && cmp -s help.txt out.txt || problem="exit code $status: $(cat out.txt)"
    checked "$tool /?" "$problem"
done

# tapecheck under the emulated port, as devtools/run/emulated.sh runs it:
# PUNCH, the exit code, and text its output must hold.
check_bench() {
    punch=$1 want=$2 text=$3
    shift 3
    PUNCH=$punch TAPELARK_BUILD=$work bounded sh "$source/devtools/run/emulated.sh" \
        -- "$work/tapecheck.exe" "$@"
    problem=
    [ $status -eq "$want" ] || problem="exit code $status, not $want"
    grep -qF "$text" out.txt || problem="${problem:-no \"$text\"}: $(cat out.txt)"
    checked "tapecheck${*:+ $*} with ${punch:-the punches ready}" "$problem"
}
check_bench "" 0 "Ready to punch."
check_bench "" 0 "Switch the punch on now." --rest lpt1
check_bench "--absent lpt1" 0 "no parallel port answers at 378h"
check_bench "--absent lpt1" 1 "Not ready." --port lpt1
check_bench "--busy-window 0-3600000" 1 "Punch: pin 11 (BUSY) is low" --port lpt2

# The program punching through the emulated port, within a quarter of a
# second a byte and a minute to start and close: one file with every byte
# value, in a scrambled order, and a tape that tapeprep made.
punch() {
    file=$1 port=$2
    if [ ! -s "$file" ]; then
        checked "tapelark.exe punches $file on $port" "there is no $file"
        return
    fi
    limit=$((60 + $(wc -c <"$file") / 4))
    wine "$work/tests/punch_check.exe" "$(printf 'Z:%s\n' "$work/$file" | tr / '\\')" "$port" $limit
    problem=
    [ $status -eq 0 ] || problem="exit code $status: $(cat out.txt)"
    checked "tapelark.exe punches $file on $port" "$problem"
    [ -n "$problem" ] || sed 's/^/    /' out.txt
}
escapes= byte=0
while [ $byte -lt 256 ]; do
    escapes="$escapes\\$(printf %03o $(((byte * 167 + 13) % 256)))"
    byte=$((byte + 1))
done
printf "$escapes" >every-byte.bin
[ "$(od -An -v -tx1 every-byte.bin | tr -s ' \n' '\n\n' | sort -u | grep -c .)" -eq 256 ] ||
    checked "every-byte.bin" "it does not hold each of the 256 byte values once"
punch every-byte.bin LPT1
wine "$work/tapeprep.exe" --leader 60 --trailer 60 --label "PUNCHED BY TAPELARK" sample.txt label.tape
[ $status -eq 0 ] || checked "label.tape" "tapeprep failed: $(cat out.txt)"
punch label.tape LPT2
PUNCH="--lpt2-at 0xD010 --punched sent.tape" TAPELARK_BUILD=$work bounded \
    sh "$source/devtools/run/emulated.sh" -- "$work/tapesend.exe" --port D010h label.tape
problem=
[ $status -eq 0 ] || problem="exit code $status: $(cat out.txt)"
[ -z "$problem" ] && cmp -s label.tape sent.tape || problem="${problem:-not the file}"
checked "tapesend --port D010h label.tape punches it on a card's port" "$problem"

echo "check-shipped: $checks checks, $failures failed"
[ $failures -eq 0 ]
