# Splits a portemu trace into its sends: a send is one transfer on one port.
# For each it writes OUT/sendN-trace.txt, the send's own lines, and prints
# "N PORT BYTES MS": its number, the port's address in hex, the bytes the
# punch took and the send's length in milliseconds, in the order the sends
# began.
# The program's control writes on the port of a send:
#   each byte   01, status reads, data FF, data BYTE, 00 (the punch takes it)
#   the end     01; or, stopped while the punch was busy: 01, reads, 01
# So a control 01 that no data write follows may end the send, and another
# control 01 on that port with no status read between starts a new one.

function hex(text,    value, i) {
    value = 0
    for (i = 1; i <= length(text); i++)
        value = value * 16 + index("0123456789abcdef", tolower(substr(text, i, 1))) - 1
    return value
}

function finish(base,    n) {
    n = open[base]
    close(out "/send" n "-trace.txt")
    open[base] = 0
}

$1 == "ERROR" {
    for (base in open)
        if (open[base])
            print > (out "/send" open[base] "-trace.txt")
    # A byte the punch refused was counted at its STROBE release, just before.
    if ($0 ~ /not punched$/ && match($0, /port [0-9a-f]+:/)) {
        port = hex(substr($0, RSTART + 5, RLENGTH - 6))
        base = port - port % 4
        if (open[base])
            punched[open[base]]--
    }
    next
}

{
    port = hex($3)
    base = port - port % 4
    register = port % 4
    write = $2 == "out"
    if (write && register == 2 && hex($4) == 1) {
        if (open[base] && resting[base] && !reads[base])
            finish(base)
        if (!open[base]) {
            open[base] = ++sends
            sendBase[sends] = base
            first[sends] = $1
        }
        resting[base] = 1
        reads[base] = 0
    } else if (write && register == 2 && hex($4) == 0) {
        punched[open[base]]++
        resting[base] = 0
    } else if (write && register == 0) {
        resting[base] = 0
    } else if (!write && register == 1) {
        reads[base]++
    }
    if (open[base]) {
        print > (out "/send" open[base] "-trace.txt")
        last[open[base]] = $1
    }
}

END {
    for (n = 1; n <= sends; n++)
        printf "%d %x %d %.0f\n", n, sendBase[n], punched[n], (last[n] - first[n]) / 1000
}
