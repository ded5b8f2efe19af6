#!/bin/sh
# The release zip, as `make dist` makes it:
# - two builds of the shipped programs, each in a clean build folder and
#   packed on its own, give a zip with the same bytes;
# - it unpacks to exactly tapelark-VERSION/ with the programs, README.txt,
#   LICENSE.txt and SHA256SUMS.txt, in that order, and the programs are the
#   ones built;
# - SHA256SUMS.txt covers every other file and `sha256sum -c` accepts it;
# - the texts are Windows text that reads well in Notepad: CR LF line ends,
#   at most 78 columns but for commands, README.txt without Markdown's
#   pictures or links and with the user's part of the README only;
# - README.txt reads whole in the unpacked folder: every picture it names is
#   there as a PNG, every file its commands read is there or made by an
#   earlier command, it says where giveio.sys comes from and how to check
#   the checksums, and the text beside the timing picture allows for the
#   pauses the picture shows;
# - a README line that Windows-1252 cannot hold fails the release, named.
#   check-dist.sh CMAKE SOURCE TOOLCHAIN VERSION WORKDIR PROGRAM.exe...
set -e
cmake=$1 source=$2 toolchain=$3 version=$4 work=$5
shift 5
name=tapelark-$version
zip=dist/$name-win32.zip
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

rm -rf "$work"
for build in a b; do
    "$cmake" -S "$source" -B "$work/$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release > "$work-$build.log" 2>&1 &&
        "$cmake" --build "$work/$build" -j2 --target dist >> "$work-$build.log" 2>&1 ||
        fail "build $build did not make the zip: see $work-$build.log"
done
cmp "$work/a/$zip" "$work/b/$zip" || fail "two clean builds gave different zips"
echo "two clean builds gave the same zip: $(wc -c < "$work/a/$zip") bytes," \
    "SHA-256 $(sha256sum < "$work/a/$zip" | cut -c1-64)"

unzip -q "$work/a/$zip" -d "$work/unpacked"
cd "$work/unpacked/$name"
# README.txt as one line, for sentences that wrap.
readme=$(tr -d '\r' < README.txt | tr '\n' ' ')
# Beyond the programs and texts, the zip holds what README.txt names.
named=$(printf '%s\n' "$readme" | grep -o '\[Picture: [^]]*]' | sed 's/.*: //; s/]$//' | tr '\\' /)
texts=" $* README.txt LICENSE.txt SHA256SUMS.txt "
listed="$* README.txt LICENSE.txt $(unzip -Z1 "$work/a/$zip" | sed 's,^[^/]*/,,' |
    while read -r file; do case $texts in *" $file "*) ;; *) echo "$file" ;; esac; done)"
expected=$(for file in $listed SHA256SUMS.txt; do echo "$name/$file"; done)
[ "$(unzip -Z1 "$work/a/$zip")" = "$expected" ] ||
    fail "the zip holds $(unzip -Z1 "$work/a/$zip" | tr '\n' ' ')"
for program in "$@"; do
    built=$(find "$work/a" -name "$program" -not -path "*/dist/*")
    cmp "$program" "$built" || fail "$program is not the one built"
done
sha256sum -c --quiet SHA256SUMS.txt || fail "the checksums do not verify"
[ "$(sed 's/^[0-9a-f]\{64\}  //; s/\r$//' SHA256SUMS.txt)" = "$(printf '%s\n' $listed)" ] ||
    fail "SHA256SUMS.txt does not list exactly: $listed"

for text in README.txt LICENSE.txt SHA256SUMS.txt; do
    [ "$(tail -c 2 "$text" | od -An -c | tr -d ' ')" = '\r\n' ] ||
        fail "$text does not end with CR LF"
    awk '!/\r$/ { exit 1 }' "$text" || fail "$text has a line without CR LF"
done
# The texts for reading; only a command, indented as an example, may be
# longer: it must not be broken.
for text in README.txt LICENSE.txt; do
    awk '{ sub(/\r$/, "") } length($0) > 78 && !/^    [^ ]/ { exit 1 }' "$text" ||
        fail "$text has a line longer than 78 columns"
done
! grep -n '!\[\|](' README.txt || fail "README.txt has Markdown pictures or links"
for heading in 'At the bench' 'Wiring' 'Licence'; do
    grep -q "^$heading" README.txt || fail "README.txt lacks \"$heading\""
done
! grep -q 'For developers\|make test' README.txt || fail "README.txt has the developers' part"
for picture in $named; do
    [ "$(head -c 4 "$picture" | od -An -c | tr -d ' ')" = '211PNG' ] ||
        fail "README.txt names the picture $picture, which is not a PNG in the zip"
done
for file in $listed; do
    echo "$named" | grep -qxF "$file" && continue
    case $texts in *" $file "*) continue ;; esac
    printf '%s\n' "$readme" | grep -qF "$file" || fail "the zip holds $file, which README.txt does not name"
done
! printf "%s\n" "$readme" | grep -q 'in the source' || fail "README.txt sends the reader to the source"
# Each file a command names is in the folder, was named by an earlier
# command, or is the command's last word, its output.
awk '{ sub(/\r$/, "") } /^    [a-z]/ {
        for (i = 1; i <= NF; i++) {
            word = $i
            sub(/^[A-Z]*>/, "", word)
            if (word ~ /^[A-Za-z0-9_-]+\.[a-z0-9]+$/) {
                if (!seen[word] && i < NF && system("test -f " word) != 0) {
                    print "README.txt: \"" $0 "\" reads " word ", which is not in the folder"
                    bad = 1
                }
                seen[word] = 1
            }
        }
    } END { exit bad }' README.txt || fail "a command in README.txt does not work as written"
printf "%s\n" "$readme" | grep -q 'giveio.sys comes from' || fail "README.txt does not say where giveio.sys comes from"
printf "%s\n" "$readme" | grep -q 'certutil -hashfile [a-z]*\.exe SHA256' ||
    fail "README.txt does not show how to check a checksum with certutil"
# The measured pauses of the timing picture lie between the pause the
# program keeps and that plus what the text beside the picture allows.
allowance=$(tr -d '\r' < README.txt | awk -v RS= '/^\[Picture: Timing/ { print before; exit } { before = $0 }' |
    tr '\n' ' ' | sed -n 's/.* up to \([0-9.]*\) ms longer.*/\1/p')
[ -n "$allowance" ] || fail "the text beside the timing picture does not say how much longer its pauses run"
sed -n 's/.*>\([0-9.]*\) ms\( pause\)*<.*/\1\2/p' "$source/docs/sample-timing.svg" | awk -v allowance="$allowance" '
    / pause$/ { kept[++pauses] = $1; next }
    {   n = 0
        for (i = 1; i <= pauses; i++)
            if (kept[i] <= $1 && kept[i] > n) n = kept[i]
        if (n == 0 || $1 > n + allowance) { print "a pause of " $1 " ms in the timing picture"; bad = 1 }
        measured++
    } END { exit bad || !measured }' || fail "the timing picture's pauses disagree with the text beside it"

# A README line that Windows-1252 lacks a character for stops the release
# with the line's number, in a copy of the sources.
copy=$work/bad-readme
mkdir -p "$copy"
mkdir -p "$copy/devtools"
cp -r "$source/devtools/release" "$copy/devtools/"
cp -r "$source/docs" "$source/LICENSE" "$copy/"
sed '3s/$/ Arrows \xe2\x86\x92 here./' "$source/README.md" > "$copy/README.md"
if sh "$copy/devtools/release/dist.sh" "$version" "$work/bad-dist" "$PWD/$1" 2> "$work/bad.log"; then
    fail "a README with a character Windows-1252 lacks gave a release"
fi
grep -q '^dist: README.md line 3 ' "$work/bad.log" || fail "a bad README line is not named: $(cat "$work/bad.log")"

echo "the zip unpacks to: $(printf '%s ' $expected)"
echo "README.txt names $(echo $named | wc -w) pictures, all in the zip as PNG; its commands work as written"
echo "the checksums verify; README.txt, LICENSE.txt and SHA256SUMS.txt are Windows text"
