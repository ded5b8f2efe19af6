#!/bin/sh
# Packs the release for the bench PCs:
#   dist.sh VERSION OUTDIR PROGRAM.exe...
# writes OUTDIR/tapelark-VERSION-win32.zip with one folder, tapelark-VERSION/,
# holding the programs, README.txt (README.md up to "For developers"),
# LICENSE.txt and SHA256SUMS.txt, the texts with CR LF line ends for Notepad.
# The zip's bytes depend only on what it holds: the files go in a fixed
# order, all with the same time and mode, and zip -X leaves out owners and
# extra time fields.
set -e
version=$1 out=$2
shift 2
source=$(cd "$(dirname "$0")/.." && pwd)
name=tapelark-$version
stage=$out/$name
zip=$name-win32.zip
# Every file carries the time of the last commit, so the zip changes only
# with the sources.
stamp=$(TZ=UTC git -C "$source" log -1 --format=%cd --date=format-local:'%Y-%m-%d %H:%M:%S')

# Windows text: the code page Notepad reads, CR LF line ends.
windows_text() {
    iconv -f UTF-8 -t CP1252 | sed 's/$/\r/'
}

rm -rf "$stage" "$out/$zip"
mkdir -p "$stage"
files=
for program in "$@"; do
    cp "$program" "$stage/"
    files="$files $(basename "$program")"
done
awk -f "$source/scripts/readme-txt.awk" "$source/README.md" | windows_text > "$stage/README.txt"
windows_text < "$source/LICENSE" > "$stage/LICENSE.txt"
files="$files README.txt LICENSE.txt"
(cd "$stage" && sha256sum $files) | windows_text > "$stage/SHA256SUMS.txt"
files="$files SHA256SUMS.txt"

chmod 644 "$stage"/*
TZ=UTC touch -d "$stamp" "$stage"/*
(
    cd "$out"
    unset ZIPOPT
    TZ=UTC zip -X -D -9 -q "$zip" $(for file in $files; do echo "$name/$file"; done)
)
echo "$out/$zip: $(wc -c < "$out/$zip") bytes, SHA-256 $(sha256sum < "$out/$zip" | cut -c1-64)"
