#!/usr/bin/env bash
# Started where there is no display, the app says so in one line and exits with status 1 (Qt
# alone aborts); with a display named where none answers, it exits the same way, its line last,
# after Qt's own reasons.
# Usage: no-display.sh APP ARTIFACT_DIR
source "$(dirname "$0")/lib.sh"

e2e_begin "$2"
for display in none ":$((RANDOM + 1000))"; do
    err=$E2E_ART/stderr-$display.txt
    timeout 30 env -i PATH=/usr/bin:/bin HOME="$E2E_TMP" XDG_RUNTIME_DIR="$E2E_TMP" LANG=C.UTF-8 \
        $([[ $display == none ]] || echo "DISPLAY=$display") "$1" > /dev/null 2> "$err"
    status=$?
    e2e_log "display $display: status $status, stderr: $(cat "$err")"
    ((status == 1)) || e2e_fail "display $display: exit status $status, not 1"
done
[[ $(wc -l < "$E2E_ART/stderr-none.txt") == 1 && $(< "$E2E_ART/stderr-none.txt") == \
    "larkspool8: no display"* ]] || e2e_fail "no display: not one line that says so"
[[ $(tail -n 1 "$err") == "larkspool8: could not open a window on the display" ]] ||
    e2e_fail "a display nobody serves: the last line does not say so"
e2e_log "passed"
