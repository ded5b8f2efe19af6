#!/bin/sh
# Exits 0 when this machine runs the 32-bit Wine that the tests use.
. "$(dirname "$0")/wine-env.sh"
[ "$WINEARCH" = win32 ]
