#!/bin/sh
# Runs a Windows program under Wine in one of the build's private prefixes:
# TAPELARK_GIVEIO=absent picks the prefix without the giveio device, any
# other value the one with it. The prefix is made on first use.
set -e
here=$(cd "$(dirname "$0")" && pwd)
root=${TAPELARK_WINE_DIR:-$here/../../build/wine}
case ${TAPELARK_GIVEIO:-present} in
    absent) prefix=$root/no-giveio giveio=absent ;;
    *) prefix=$root/giveio giveio=present ;;
esac
. "$here/wine-env.sh"
export WINEPREFIX="$prefix" WINEDEBUG="${WINEDEBUG:--all}"
if [ ! -f "$prefix/.ready" ]; then
    mkdir -p "$root"
    flock "$root/.lock" sh "$here/make-wine-prefix.sh" "$prefix" "$giveio"
fi
exec "$TAPELARK_WINE" "$@"
