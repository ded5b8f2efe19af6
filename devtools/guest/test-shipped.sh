#!/bin/sh
# Runs the shipped 32-bit programs of build/ as a user runs them
# (tests/guest/check-shipped.sh): under 32-bit Wine where this machine runs
# 32-bit code; elsewhere in the emulated guest of devtools/guest/, built
# first when it is missing or out of date. What the check made lands in
# build/shipped-check/work/.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$root/build/shipped-check
cd "$root"
if sh devtools/wine/runs-32bit.sh; then
    exec sh tests/guest/check-shipped.sh "$root" "$root/build" "$out/work"
fi
echo "This machine cannot run 32-bit code: the shipped programs run in an emulated guest."
guest=$(sh devtools/guest/build.sh) || exit 1
rm -rf "$out"
mkdir -p "$out"
# The check works on the guest's own disk, /tmp: Wine maps each program, and
# a mapping of a big file through the guest's 9p share reads zeros from
# some page on. What it made is then copied here.
cat >"$out/job.sh" <<'JOB'
sh /mnt/checkout/tests/guest/check-shipped.sh /mnt/checkout /mnt/checkout/build /tmp/work
status=$?
cp -r /tmp/work /mnt/job/
exit $status
JOB
# A guest that hangs is given one more boot; a check that fails is not.
for boot in first second; do
    sh devtools/guest/run.sh "$guest" "$out" 900
    status=$?
    [ $status -eq 124 ] && [ $boot = first ] || break
    echo "The guest hung: booting it once more."
done
exit $status
