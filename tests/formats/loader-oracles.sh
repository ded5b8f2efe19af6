#!/bin/sh
# The loader formats against tools no one here wrote: PAL programs
# assembled by palbart, punched by tapeprep --format and loaded by simh's
# PDP-8; PDP-11 absolute loader tapes and Intel hex files written by
# srec_cat, loaded by simh's PDP-11 or read by srec_info. What each loads
# must be what tapeview check says it loads.
#   loader-oracles.sh WINE-RUN BUILD
set -eu
wine_run=$1 build=$2
for tool in palbart pdp8 pdp11 srec_cat srec_info; do
    command -v $tool > /dev/null || {
        echo "FAIL: $tool is missing; make deps installs it (simh, palbart, srecord)"
        exit 1
    }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# A tool of the build under Wine, its output with Unix line ends.
tool() {
    name=$1
    shift
    sh "$wine_run" "$build/$name.exe" "$@" 2>&1 | tr -d '\r'
}

# Frames given in octal, written as bytes.
frames() {
    for frame in "$@"; do printf "\\$frame"; done
}

# The areas a tapeview check report says are loaded, "first-last" a line;
# with a section number, that section's only.
said_areas() {
    awk -v want="${2:-0}" '
        /^Section [0-9]+,/ { section = substr($2, 1, length($2) - 1) + 0 }
        /^It loads/ { on = want == 0 || want == section; sub(/^It loads/, "") }
        on {
            last = index($0, "(") > 0
            if (last) $0 = substr($0, 1, index($0, "(") - 1)
            gsub(/,/, " ")
            for (i = 1; i <= NF; i++) {
                if ($i == "and" || $i == "to" || $i !~ /^[0-9A-F]+$/) continue
                if ($(i + 1) == "to") { print $i "-" $(i + 2); i += 2 } else print $i "-" $i
            }
            if (last) on = 0
        }' "$1"
}

# Addresses in octal, one a line in order, joined into areas "first-last".
join_octal() {
    awk -v width="$1" '
        function octal(text,   n, i) {
            n = 0
            for (i = 1; i <= length(text); i++) n = n * 8 + substr(text, i, 1)
            return n
        }
        function show(n,   text) {
            text = ""
            for (; n > 0; n = int(n / 8)) text = (n % 8) text
            while (length(text) < width) text = "0" text
            return text
        }
        { n = octal($1) }
        NR == 1 || n != previous + 1 { if (NR > 1) print show(first) "-" show(previous); first = n }
        { previous = n }
        END { if (NR) print show(first) "-" show(previous) }'
}

# What simh's PDP-8 holds after LOAD: its words that are not 0000.
pdp8_areas() {
    printf 'load %s\nexamine 0-77777\nquit\n' "$1" > load.sim
    pdp8 load.sim > loaded.txt 2>&1
    tr -d '\r' < loaded.txt | awk -F'[:\t ]+' '/^[0-7]+:/ && $2 != "0000" { print $1 }' |
        join_octal 5
}

# The bytes simh's PDP-11 holds after LOAD that are not 000.
pdp11_areas() {
    printf 'load %s\nexamine 0-177776\nquit\n' "$1" > load.sim
    pdp11 load.sim > loaded.txt 2>&1
    tr -d '\r' < loaded.txt | awk -F'[:\t ]+' '
        function octal(text,   n, i) {
            n = 0
            for (i = 1; i <= length(text); i++) n = n * 8 + substr(text, i, 1)
            return n
        }
        function show(n,   text) {
            for (text = ""; n > 0; n = int(n / 8)) text = (n % 8) text
            return text
        }
        /^[0-7]+:/ {
            word = octal($2)
            if (word % 256) print show(octal($1))
            if (int(word / 256)) print show(octal($1) + 1)
        }' | join_octal 6
}

# tapeprep --format punches IN; tapeview check must pass OUT and name the
# areas simh loads from it. Extra arguments go to simh's LOAD.
punch_and_load() {
    format=$1 in=$2 load=$3
    tool tapeprep --format "$format" --leader 20 --trailer 20 "$in" "$in.tape" > prep.txt ||
        { fail "tapeprep --format $format $in:"; cat prep.txt; return 0; }
    tool tapeview check "$in.tape" > check.txt || true
    grep -q "holds a tape in $format, and it checks" check.txt ||
        { fail "tapeview check $in.tape:"; cat check.txt; return 0; }
    case $format in
        pdp11-lda) pdp11_areas "$in.tape" > simh.txt ;;
        *) pdp8_areas "$load $in.tape" > simh.txt ;;
    esac
    said_areas check.txt > said.txt
    if cmp -s said.txt simh.txt; then
        echo "ok: $in as $format loads $(tr '\n' ' ' < said.txt)"
    else
        fail "$in: tapeview check says it loads $(tr '\n' ' ' < said.txt)but simh loads" \
             "$(tr '\n' ' ' < simh.txt)"
        cat check.txt
        grep -v '[^0-7]0*$' loaded.txt | head -n 20
    fi
}

# Two programs without a word of 0000, so that simh's memory shows each
# word loaded: one in field 0 over two areas, one with a field setting.
cat > areas.pal << 'END'
*200
START,  CLA CLL
        TAD A
        DCA B
        HLT
A,      1234
B,      7777
*1000
        7402
        1111
$
END
cat > field.pal << 'END'
*400
        2222
FIELD 1
*3000
        4444
        5555
$
END
palbart areas.pal && palbart field.pal && cp areas.bin bin.bin && palbart -r areas.pal ||
    { fail "palbart"; exit 1; }

punch_and_load pdp8-bin bin.bin ""
punch_and_load pdp8-bin field.bin ""
punch_and_load pdp8-rim areas.rim "-r"

# palbart's leader and trailer stripped: a RIM tape whose first frame is
# an address. A leader of 302 and 200, which RIM skips as it skips 200.
tr -d '\200' < areas.rim > bare.rim
punch_and_load pdp8-rim bare.rim "-r"
{ for i in 1 2 3 4 5 6 7 8; do frames 302 200; done; cat bare.rim; frames 200; } > leader302.rim
punch_and_load pdp8-rim leader302.rim "-r"

# After the end: lettering between rubouts, a Ctrl-Z (232), stray rubouts
# and blank tape, which the loader never reads; before the leader an
# archive's line of ASCII, which tapeprep leaves out.
{ printf 'AREAS BIN 1969\r\n'; cat bin.bin; frames 377; printf 'AREAS'; frames 377 232 377 377 377
  frames 000 000 000; } > after.bin
punch_and_load pdp8-bin after.bin ""
tool tapeview check after.bin > check.txt || true
grep -q "after the end, which the loader does not read, 14 rows" check.txt ||
    { fail "after.bin: no rows after the end told"; cat check.txt; }

# Two sections: the BIN loader halts after each, and simh's LOAD reads one.
# Each section as tapeview check tells its rows is loaded by itself.
cat bin.bin field.bin > two.bin
tool tapeprep --format pdp8-bin two.bin two.tape > prep.txt || { fail "two.bin:"; cat prep.txt; }
tool tapeview check two.tape > check.txt || true
grep -q '^2 sections' check.txt || { fail "two.tape: not 2 sections"; cat check.txt; }
for section in 1 2; do
    rows=$(sed -n "s/^Section $section, rows \\([0-9]*\\) to \\([0-9]*\\):.*/\\1 \\2/p" check.txt)
    set -- $rows 0 0
    { frames 200 200; dd if=two.tape bs=1 skip="$1" count=$(($2 - $1 + 1)) 2> /dev/null || true
      frames 200 200; } > "section$section.tape"
    pdp8_areas "section$section.tape" > simh.txt
    said_areas check.txt $section > said.txt
    cmp -s said.txt simh.txt && echo "ok: section $section loads $(tr '\n' ' ' < said.txt)" ||
        fail "section $section: tapeview says $(tr '\n' ' ' < said.txt)simh $(tr '\n' ' ' < simh.txt)"
done

# simh's LOAD differs from DEC's BIN loader here: after a rubout it skips
# one frame, where DEC's loader skips all up to the next rubout. simh
# must fail on it; tapeview check follows DEC's loader, which loads what
# the tape without the text loads.
{ head -c 20 bin.bin; frames 377; printf 'TEXT'; frames 377; tail -c +21 bin.bin; } > text.bin
printf 'load text.bin\nquit\n' > load.sim
pdp8 load.sim 2>&1 | grep -q 'Checksum error' ||
    fail "simh's LOAD took text between rubouts: this test's premise no longer holds"
tool tapeview check text.bin > check.txt || true
said_areas check.txt > said.txt
pdp8_areas bin.bin > simh.txt
cmp -s said.txt simh.txt && echo "ok: text between rubouts skipped as DEC's loader does" ||
    { fail "text.bin: tapeview says $(tr '\n' ' ' < said.txt)"; cat check.txt; }

# PDP-11: srec_cat's DEC binary, two areas and a start address.
printf '\001\002\003\004\005\006\007\010' > data
srec_cat data -binary -offset 0x400 data -binary -offset 0x1000 -execution-start-address 0x400 \
    -o p11.lda -dec_binary
punch_and_load pdp11-lda p11.lda ""
grep -q "and starts at 002000\\." check.txt || { fail "p11.lda: start address"; cat check.txt; }

# Intel hex: the areas srec_info finds in the file, or in the file given
# second, which the first was punched from.
hex_areas() {
    srec_info "$1" -intel | sed -n 's/^\(Data:\)\{0,1\} *\([0-9A-F]*\) - \([0-9A-F]*\)$/\2-\3/p'
}
check_hex() {
    tool tapeview check "$1" > check.txt || true
    said_areas check.txt > said.txt
    hex_areas "${2:-$1}" > info.txt
    if grep -q "holds a tape in intel-hex, and it checks" check.txt && cmp -s said.txt info.txt; then
        echo "ok: $1 loads $(tr '\n' ' ' < said.txt)"
    else
        fail "$1: srec_info finds $(tr '\n' ' ' < info.txt)"
        cat check.txt
    fi
}
srec_cat data -binary -offset 0x100 data -binary -offset 0x2000 -o i8.hex -intel \
    -address-length=2 -crlf
check_hex i8.hex
# CP/M pads a .HEX with Ctrl-Z after its end record.
{ cat i8.hex; for i in 1 2 3 4 5 6 7 8; do printf '\032'; done; } > padded.hex
check_hex padded.hex
# srec_cat's 32-bit form: a type 04 address base and a type 05 start. An
# 8-bit loader takes neither; the check says to delete the lines, and
# then the file checks.
srec_cat data -binary -offset 0x100 -execution-start-address 0x100 -o i32.hex -intel -crlf
tool tapeview check i32.hex > check.txt || true
grep -q "record type 04, an address base of 0;" check.txt ||
    { fail "i32.hex: type 04 not refused"; cat check.txt; }
grep -v '^:......0[45]' i32.hex > mended.hex
check_hex mended.hex
# Line ends of LF alone: --newline crlf mends them, as the check says.
srec_cat data -binary -offset 0x100 -o lf.hex -intel -address-length=2
tool tapeview check lf.hex > check.txt || true
grep -q "(tapeprep --newline crlf makes it)" check.txt || { fail "lf.hex"; cat check.txt; }
tool tapeprep --format intel-hex --newline crlf lf.hex lf.tape > prep.txt || true
check_hex lf.tape lf.hex

[ $failures -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "All agree"
