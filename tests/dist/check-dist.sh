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
#   pictures or links and with the user's part of the README only.
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

listed="$* README.txt LICENSE.txt"
expected=$(for file in $listed SHA256SUMS.txt; do echo "$name/$file"; done)
[ "$(unzip -Z1 "$work/a/$zip")" = "$expected" ] ||
    fail "the zip holds $(unzip -Z1 "$work/a/$zip" | tr '\n' ' ')"
unzip -q "$work/a/$zip" -d "$work/unpacked"
cd "$work/unpacked/$name"
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
echo "the zip unpacks to: $(printf '%s ' $expected)"
echo "the checksums verify; README.txt, LICENSE.txt and SHA256SUMS.txt are Windows text"
