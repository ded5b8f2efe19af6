#!/bin/sh
# Makes a Wine prefix for the tests: no crash debugger (a crash must
# fail the test, not wait for someone to close winedbg), Wine's own fonts,
# and, when asked, a giveio device so that opening \\.\giveio succeeds.
set -e
prefix=$1 giveio=$2
[ -f "$prefix/.ready" ] && exit 0
rm -rf "$prefix"
. "$(dirname "$0")/wine-env.sh"
export WINEPREFIX="$prefix" WINEDEBUG=-all
"$TAPELARK_WINE" wineboot -i >/dev/null 2>&1
"$TAPELARK_WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f >/dev/null 2>&1
"$TAPELARK_WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 1 /f >/dev/null 2>&1
wineserver -w
# Wine's own fonts are not found where Debian installs them; without Marlett
# the caption buttons show letters instead of their glyphs.
ln -sf /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/"
if [ "$giveio" = present ]; then
    ln -sf /dev/null "$prefix/dosdevices/giveio"
fi
touch "$prefix/.ready"
