# Sourced by the Ctrl+C tests: waits up to a minute until a line of FILE
# matches the grep PATTERN, which shows that the program has got as far as
# the test needs; fails the test, showing FILE, when it does not.
#   wait_for_line PATTERN FILE WHAT
wait_for_line() {
    waited=0
    until grep -q "$1" "$2"; do
        [ $waited -lt 600 ] || { echo "FAIL: $3"; cat "$2"; exit 1; }
        sleep 0.1
        waited=$((waited + 1))
    done
}
