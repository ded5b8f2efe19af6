#!/bin/sh
# Draws every picture in docs/ afresh: a scripted session sends
# docs/sample.txt through the real program to the emulated punch, and the
# screenshots and drawings it leaves in build/run/ replace those in docs/.
# A PNG over 60 KB is refused: the README is read over slow links too.
set -e
cd "$(dirname "$0")/.."
# Each picture as its name in build/run/ and its name in docs/.
pictures="window.png:window.png window-punching.png:window-punching.png
    tape.svg:sample-tape.svg timing.svg:sample-timing.svg"
png_limit=61440

rm -f build/run/*.png build/run/*.svg
sh scripts/run.sh docs/sample.txt
for picture in $pictures; do
    made=build/run/${picture%%:*} doc=docs/${picture#*:}
    if [ ! -s "$made" ]; then
        echo "pictures: the session drew no $made" >&2
        exit 1
    fi
    size=$(wc -c < "$made")
    case $doc in
        *.png) if [ "$size" -gt $png_limit ]; then
                echo "pictures: $made has $size bytes, more than 60 KB" >&2
                exit 1
            fi ;;
    esac
    cp "$made" "$doc"
    echo "$doc: $size bytes"
done
