#!/usr/bin/env bash
# No sound server at all: the piece still performs, in silence and on time, its controls
# behave as usual, it says so once on stderr and it quits cleanly.
# Usage: no-sound-server.sh APP ARTIFACT_DIR
source "$(dirname "$0")/lib.sh"

e2e_begin "$2"
start_x
# An address where no server listens.
PULSE_SERVER=unix:$E2E_TMP/no-sound-server
launch_app "$1"

click oneshot
t0=$(now_us)
click start
poll 20 find_message_box || e2e_fail "no message after the one shot performance"
took=$((($(now_us) - t0) / 1000))
# The thirteen steps (8.86 s) and the 2 s pause; the upper bound leaves room for a loaded machine.
((took >= 10860 && took <= 12500)) ||
    e2e_fail "one shot took $took ms, not the 10860 ms of its steps and pause"
close_message 1 "after the one shot performance"

# After a one shot performance "stop" is still enabled; once pressed it is greyed again, and a
# second press shows nothing: "start", clicked after it, is handled with no message box between.
press_stop "after the one shot performance"
click stop looped2 start
poll 5 eval '! enabled start' || e2e_fail "\"start\" not handled after \"stop\" pressed twice"
no_message_box || e2e_fail "a message box after \"stop\" pressed twice"
press_stop "during looped 2"
quit_cleanly 1

e2e_log "stderr: $(cat "$E2E_ERR")"
(($(grep -c . "$E2E_ERR") == 1)) || e2e_fail "expected one warning line on stderr"
e2e_log "passed"
