#!/bin/sh
# The install script's decisions, with stand-ins for apt-get, dpkg,
# dpkg-query and sudo that record what they are asked and change nothing.
# Usage: install-deps-tests.sh SOURCE_DIR WORK_DIR
set -u
source_dir=$1 work=$2
failures=0
fail() { echo "FAIL: $case_name: $*"; failures=$((failures + 1)); }

# A machine: its 32-bit support (yes/no), what is installed, which packages
# no index holds, and how many times the index download fails.
machine() {
    rm -rf "$work" && mkdir -p "$work/bin" "$work/devtools/wine"
    cp "$source_dir/devtools/install-deps.sh" "$work/devtools/"
    printf '#!/bin/sh\nexit %s\n' "$([ "$1" = yes ] && echo 0 || echo 1)" >"$work/devtools/wine/runs-32bit.sh"
    printf '%s\n' $2 >"$work/installed"
    printf '%s\n' $3 >"$work/unavailable"
    echo "$4" >"$work/update-failures"
    : >"$work/log"
    cat >"$work/bin/dpkg-query" <<'STAND_IN'
#!/bin/sh
for last; do :; done
grep -qx "$last" "$WORK/installed" && printf 'install ok installed'
exit 0
STAND_IN
    cat >"$work/bin/dpkg" <<'STAND_IN'
#!/bin/sh
echo "dpkg $*" >>"$WORK/log"
exit 0
STAND_IN
    cat >"$work/bin/apt-get" <<'STAND_IN'
#!/bin/sh
echo "apt-get $*" >>"$WORK/log"
case $1 in
update)
    left=$(cat "$WORK/update-failures")
    [ "$left" -gt 0 ] || exit 0
    echo $((left - 1)) >"$WORK/update-failures"
    echo "E: Failed to fetch i386 Packages  File has unexpected size. Mirror sync in progress?" >&2
    exit 100 ;;
esac
status=0
for package; do
    if grep -qx "$package" "$WORK/unavailable"; then
        echo "E: Unable to locate package $package" >&2
        status=100
    fi
done
exit $status
STAND_IN
    printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
    chmod +x "$work/bin/"*
}

run() {
    WORK=$work PATH="$work/bin:$PATH" sh "$work/devtools/install-deps.sh" "$@" >"$work/out" 2>&1
    status=$?
}
asked() { grep -q -- "$1" "$work/log"; }
installs() { grep '^apt-get install -y' "$work/log"; }

case_name="a machine without 32-bit support asks for no i386 package"
machine no "" "" 0
run
[ $status -eq 0 ] || fail "exit $status: $(cat "$work/out")"
asked 'add-architecture' && fail "added an architecture"
installs | grep -q ':i386' && fail "asked for i386: $(installs)"
installs | grep -q ' wine64' || fail "no 64-bit Wine: $(installs)"
installs | grep -q ' g++-mingw-w64-x86-64-win32' || fail "no x86-64 compiler: $(installs)"
installs | grep -q ' qemu-system-x86' || fail "no QEMU for the guest: $(installs)"
installs | grep -q ' libfaketime' || fail "no libfaketime for the uptime test: $(installs)"

case_name="a machine with 32-bit support gets the 32-bit Wine only"
machine yes "" "" 0
run
[ $status -eq 0 ] || fail "exit $status: $(cat "$work/out")"
asked 'dpkg --add-architecture i386' || fail "no i386 architecture added"
installs | grep -q ' wine32:i386' || fail "no 32-bit Wine: $(installs)"
installs | grep -q 'x86-64\|wine64\|qemu\|faketime' && fail "asked for what it cannot use: $(installs)"

case_name="an index that fails to download is retried once, then the install goes on"
machine no "" "" 5
run
[ $status -eq 0 ] || fail "exit $status: $(cat "$work/out")"
[ "$(grep -c '^apt-get update' "$work/log")" -eq 2 ] || fail "updates: $(grep -c '^apt-get update' "$work/log")"
installs >/dev/null || fail "nothing installed after the failed index"

case_name="a package that cannot be installed is named, with why, on one line"
machine no "" "fonts-wine" 0
run
[ $status -ne 0 ] || fail "exit 0 although fonts-wine was not installed"
line=$(grep '^install-deps: could not install' "$work/out")
[ "$(printf '%s\n' "$line" | grep -c .)" -eq 1 ] || fail "no single refusal line: $(cat "$work/out")"
case $line in
    *"fonts-wine (not in the package indexes)"*) ;;
    *) fail "refusal does not name fonts-wine and why: $line" ;;
esac
case $line in *wine64*|*cmake*) fail "names packages that could be installed: $line" ;; esac

case_name="a machine that has everything asks apt nothing"
machine no "cmake make g++-mingw-w64-i686-win32 doctest-dev wine xvfb xauth fonts-wine libfaketime
    g++-mingw-w64-x86-64-win32 wine64 qemu-system-x86 qemu-utils debootstrap e2fsprogs zip" "" 0
run zip
[ $status -eq 0 ] || fail "exit $status: $(cat "$work/out")"
[ -s "$work/log" ] && fail "asked: $(cat "$work/log")"

[ $failures -eq 0 ] && echo "install-deps: all cases pass"
exit $((failures != 0))
