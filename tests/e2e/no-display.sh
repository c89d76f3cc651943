#!/usr/bin/env bash
# Started where there is no display, the app says so in one line and exits with status 1 (Qt
# alone aborts); with a display named where none answers, it exits the same way after Qt's own
# reasons.
# Usage: no-display.sh APP ARTIFACT_DIR
source "$(dirname "$0")/lib.sh"

# run_without DESCRIPTION VAR=VALUE... : runs the app with only the session basics and VARs;
# leaves its stderr in $err.
run_without() {
    err=$E2E_ART/stderr-${1// /-}.txt
    timeout 30 env -i PATH=/usr/bin:/bin HOME="$E2E_TMP" XDG_RUNTIME_DIR="$E2E_TMP" \
        LANG=C.UTF-8 "${@:2}" "$app" > /dev/null 2> "$err"
    status=$?
    e2e_log "$1: status $status, stderr: $(cat "$err")"
    ((status == 1)) || e2e_fail "$1: exit status $status, not 1"
}

e2e_begin "$2"
app=$1
run_without "no display"
[[ $(grep -c . "$err") == 1 ]] || e2e_fail "no display: not one line on stderr"
grep -q '^larkspool8: no display' "$err" || e2e_fail "no display: the line does not say so"

run_without "no server on DISPLAY" DISPLAY=:$((RANDOM + 1000))
[[ $(tail -n 1 "$err") == "larkspool8: could not open a window on the display" ]] ||
    e2e_fail "no server on DISPLAY: the last line does not say so"
e2e_log "passed"
