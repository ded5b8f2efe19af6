#!/bin/sh
# Packs the release for the bench PCs:
#   dist.sh VERSION OUTDIR PROGRAM.exe...
# writes OUTDIR/tapelark-VERSION-win32.zip with one folder, tapelark-VERSION/,
# holding the programs, README.txt (README.md up to "For developers"),
# LICENSE.txt, every file that README.txt names (the sample file beside the
# programs, the pictures in pictures/ as PNG, since XP's picture viewer
# cannot open SVG) and SHA256SUMS.txt, the texts with CR LF line ends for
# Notepad.
# The zip's bytes depend only on what it holds: the files go in a fixed
# order, all with the same time and mode, and zip -X leaves out owners and
# extra time fields.
set -e
version=$1 out=$2
shift 2
source=$(cd "$(dirname "$0")/../.." && pwd)
name=tapelark-$version
stage=$out/$name
zip=$name-win32.zip
# Every file carries the time of the last commit, so the zip changes only
# with the sources.
stamp=$(TZ=UTC git -C "$source" log -1 --format=%cd --date=format-local:'%Y-%m-%d %H:%M:%S')

# Windows text: the code page Notepad reads, CR LF line ends. A character
# that the code page lacks fails the release, naming the first line of
# ORIGIN that has one.
#   windows_text TEXT ORIGIN OUT
windows_text() {
    if ! iconv -f UTF-8 -t CP1252 < "$1" > "$3.cp1252" 2> /dev/null; then
        number=0
        while IFS= read -r line; do
            number=$((number + 1))
            printf '%s\n' "$line" | iconv -f UTF-8 -t CP1252 > /dev/null 2>&1 || break
        done < "$2"
        echo "dist: ${2#"$source"/} line $number has a character that Windows-1252" \
            "lacks, so Notepad could not show it:" >&2
        echo "    $line" >&2
        exit 1
    fi
    sed 's/$/\r/' < "$3.cp1252" > "$3"
    rm "$3.cp1252"
}

rm -rf "$stage" "$out/$zip"
mkdir -p "$stage"
files=
for program in "$@"; do
    cp "$program" "$stage/"
    files="$files $(basename "$program")"
done
awk -f "$source/devtools/release/readme-txt.awk" "$source/README.md" > "$out/README.utf8"
windows_text "$out/README.utf8" "$source/README.md" "$stage/README.txt"
windows_text "$source/LICENSE" "$source/LICENSE" "$stage/LICENSE.txt"
files="$files README.txt LICENSE.txt"
# What README.txt names. A picture drawn as SVG becomes a PNG of 16
# colours, which is all a drawing of lines and text needs.
awk -v files=1 -f "$source/devtools/release/readme-txt.awk" "$source/README.md" > "$out/named"
while read -r from to; do
    mkdir -p "$(dirname "$stage/$to")"
    case $from in
        *.svg) rsvg-convert "$source/$from" -o "$out/picture.png"
            pngquant --force --output "$stage/$to" 16 -- "$out/picture.png" ;;
        *) cp "$source/$from" "$stage/$to" ;;
    esac
    files="$files $to"
done < "$out/named"
rm -f "$out/README.utf8" "$out/named" "$out/picture.png"
(cd "$stage" && sha256sum $files) > "$out/SHA256SUMS"
windows_text "$out/SHA256SUMS" "$out/SHA256SUMS" "$stage/SHA256SUMS.txt"
rm "$out/SHA256SUMS"
files="$files SHA256SUMS.txt"

for file in $files; do
    chmod 644 "$stage/$file"
    TZ=UTC touch -d "$stamp" "$stage/$file"
done
(
    cd "$out"
    unset ZIPOPT
    TZ=UTC zip -X -D -9 -q "$zip" $(for file in $files; do echo "$name/$file"; done)
)
echo "$out/$zip: $(wc -c < "$out/$zip") bytes, SHA-256 $(sha256sum < "$out/$zip" | cut -c1-64)"
