#!/bin/sh
# Stops the Wine servers of the test prefixes under the given folder.
for prefix in "$1"/*/; do
    [ -f "$prefix.ready" ] && WINEPREFIX=${prefix%/} wineserver -k 2>/dev/null
done
exit 0
