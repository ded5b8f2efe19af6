#!/bin/sh
# Fails when a program file is larger than the limit, in bytes: the program
# ships as one small file, manifest and resources included.
# Usage: check-exe-size.sh LIMIT PROGRAM.exe...
limit=$1
shift
status=0
for program in "$@"; do
    size=$(wc -c < "$program") || { status=1; continue; }
    if [ "$size" -gt "$limit" ]; then
        echo "$program: $size bytes, more than $limit"
        status=1
    else
        echo "$program: $size bytes, at most $limit"
    fi
done
exit $status
