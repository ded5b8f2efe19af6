#!/bin/sh
# Fails when a Windows program could not start on 32-bit Windows XP SP3:
# it must be a PE32 image for subsystem version 5.1 or lower and import only
# functions listed in xp-imports.txt beside this script, each with the
# evidence that XP SP3 has it. A DLL with no function listed is not allowed
# at all.
# Usage: check-xp-imports.sh OBJDUMP PROGRAM.exe...
objdump=$1
shift
list=$(dirname "$0")/xp-imports.txt
status=0
fail() {
    echo "$program: $*"
    status=1
}

# "dll function" for every line of the list whose version is XP's or older.
allowed=$(awk '!/^#/ && NF >= 3 {
        if ($3 ~ /^(NT3\.1|NT3\.51|NT4|2000|XP)$/) print tolower($1), $2
        else print FILENAME ": " $2 " is not on XP: " $3 > "/dev/stderr"
    }' "$list")

for program in "$@"; do
    dump=$("$objdump" -p "$program") || { fail "cannot be read"; continue; }
    echo "$dump" | grep -q 'Magic[[:space:]]*010b' || fail "not a PE32 image"
    major=$(echo "$dump" | awk '/MajorSubsystemVersion/ { print $2 }')
    minor=$(echo "$dump" | awk '/MinorSubsystemVersion/ { print $2 }')
    [ $((major * 100 + minor)) -le 501 ] || fail "subsystem version $major.$minor is newer than XP's 5.1"

    # Import lines read: address, hint, name, each below its DLL's name; an
    # import by ordinal has no name and is refused as "#ORDINAL".
    imports=$(echo "$dump" | sed -n '/The Import Tables/,/^The /p' | awk '
        /DLL Name:/ { dll = tolower($3); next }
        dll != "" && NF == 3 && $2 ~ /^[0-9]+$/ { print dll, $3; next }
        dll != "" && NF == 2 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ { print dll, "#" $2 }')
    [ -n "$imports" ] || fail "no imports found"
    unknown=$(echo "$imports" | grep -vxF "$allowed")
    if [ -n "$unknown" ]; then
        fail "imports what is not on the XP list in $list:"
        echo "$unknown" | sed 's/^/    /'
    else
        echo "$program: $(echo "$imports" | wc -l) imports from" \
            "$(echo "$imports" | cut -d' ' -f1 | sort -u | wc -l) DLLs, all on the XP list"
    fi
done
exit $status
