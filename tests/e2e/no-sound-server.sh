#!/usr/bin/env bash
# No sound server at all: the piece still performs, in silence and on time, its controls
# behave as usual, it says so once on stderr and it quits cleanly.
# Usage: no-sound-server.sh APP ARTIFACT_DIR
set -uo pipefail

app=$1 art=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

# One shot: the thirteen steps (8.86 s) and the 2 s pause; the upper bound leaves room for
# a loaded machine.
ONE_SHOT_MIN_US=10860000
ONE_SHOT_MAX_US=12500000

expect_message() {
    wait_message_box "$1" || e2e_fail "no message box: $2" || return 1
    dismiss_message_box
}

expect_no_message() {
    sleep 0.5
    no_message_box || e2e_fail "unexpected message box: $1"
}

e2e_begin "$art"
start_x || exit 1
# An address where no server listens.
PULSE_SERVER=unix:$E2E_TMP/no-sound-server
launch_app "$app" "$art/app-stderr.txt"
wait_main_window 10 || exit 1

click_oneshot
t0=$(now_us)
click_start
wait_message_box 20 || e2e_fail "no message after the one shot performance" || exit 1
took=$(($(now_us) - t0))
e2e_log "one shot ended after $((took / 1000)) ms"
((took >= ONE_SHOT_MIN_US && took <= ONE_SHOT_MAX_US)) ||
    e2e_fail "one shot took $((took / 1000)) ms, not the 10860 ms of its steps and pause" || exit 1
dismiss_message_box || exit 1

# After a one shot performance "stop" is still enabled; once pressed it is greyed again.
click_stop
expect_message 5 "\"stop\" after the one shot performance" || exit 1
click_stop
expect_no_message "\"stop\" pressed twice" || exit 1

click_looped2
click_start
sleep 1.5
click_stop
expect_message 5 "\"stop\" during looped 2" || exit 1

quit_cleanly 1 || exit 1

lines=$(grep -c . "$art/app-stderr.txt")
e2e_log "stderr: $(cat "$art/app-stderr.txt")"
((lines == 1)) || e2e_fail "expected one warning line on stderr, got $lines" || exit 1
e2e_log "passed"
