#!/bin/sh
# Draws every picture in docs/ afresh: a scripted session sends
# docs/sample.txt through the real program to the emulated punch, tapeprep
# and tapeview make and draw the prepared tape of "Preparing a tape", and
# what they leave in BUILD/run/ replaces the pictures in docs/ (BUILD is
# TAPELARK_BUILD, build/ by default).
# A PNG over 60 KB is refused: the README is read over slow links too.
set -e
. "$(dirname "$0")/build-env.sh"
cd "$root"
run=$build/run
# Each picture as its name in the run's folder and its name in docs/.
pictures="window.png:window.png window-punching.png:window-punching.png
    send1-lpt1-tape.svg:sample-tape.svg send1-lpt1-timing.svg:sample-timing.svg
    prepared-tape.svg:prepared-tape.svg"
png_limit=61440

sh devtools/run/run.sh docs/sample.txt
# The README's own commands, run as it shows them.
sh "$wine_run" "$build/tapeprep.exe" --leader 12 --trailer 12 --label Sample \
    "$(windows_path "$root/docs/sample.txt")" "$(windows_path "$run/sample.tape")"
sh "$wine_run" "$build/tapeview.exe" strip-svg \
    "$(windows_path "$run/sample.tape")" "$(windows_path "$run/prepared-tape.svg")"
sh "$stop_wine" "$TAPELARK_WINE_DIR"
for picture in $pictures; do
    made=$run/${picture%%:*} doc=docs/${picture#*:}
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
