#!/usr/bin/env bash
# The sound server stalls, as a busy server, a suspend and resume or a reconnecting device make
# it do. Looped 2 through eight stalls of a second, then stop and Quit: the app exits cleanly.
# Then a one shot with its server stopped for 5 s in the middle, heard through a tunnel on a
# second server, whose recording does not stall with it: all thirteen clips heard whole, once,
# in the order the app played them. The seed puts a long silence after the first clip, and the
# stall begins in it, so that the recording's own path, which a stall tears, tears no clip. Both
# times the app's own accounts show every Play it sent placed and sounded to its end.
# Usage: stall.sh APP CLIPDIR ARTIFACT_DIR
source "$(dirname "$0")/lib.sh"
app=$1 clips=$2 art=$3

# stall SECONDS : stops the app's sound server for that long.
stall() {
    kill -STOP "$E2E_PULSE"
    sleep "$1"  # the stall itself: a time, not a condition
    kill -CONT "$E2E_PULSE"
}

e2e_begin "$art"
start_x
start_sound_server

E2E_APP_ARGS=(--trace-plays "$art/stalls.txt")
launch_app "$app"
click looped2 start
poll 5 enabled stop || e2e_fail "looped 2 did not start"
for ((i = 0; i < 8; i++)); do
    sleep 1.5  # the performance plays on between the stalls
    stall 1
    app_alive || e2e_fail "the app died in stall $((i + 1))"
done
press_stop "after the stalls"
poll 15 no_stream || e2e_fail "the output never went idle after the stalls"
quit_cleanly 5
/usr/bin/python3 "$E2E_HERE/analyse-recording.py" --accounts "$art/stalls.txt" > "$art/accounts.txt" ||
    e2e_fail "a Play was lost in eight stalls of 1 s: $(cat "$art/accounts.txt")"

start_recorder "$art/recording.f32"
start_tunnel_server 50
E2E_APP_ARGS=(--seed 17 --trace-plays "$art/plays.txt")  # one2, 1.1 s, then leap
launch_app "$app"
start_mode oneshot
sleep 0.8  # one2 has sounded (0.31 s); leap is due at 1.1 s
stall 5
# Thirteen steps and the pause from the click, the stall on top, and room for a loaded machine.
close_message 20 "after the one shot" mark oneshot_message
# The clips the stall held back sound after the message: until the output goes idle.
poll 20 no_stream || e2e_fail "the output never went idle after the one shot"
quit_cleanly 5
e2e_stop "$E2E_RECORDER"
/usr/bin/python3 "$E2E_HERE/analyse-recording.py" --whole --latency-ms 6000 --spliced "$clips" \
    "$art/recording.f32" "$art/marks.txt" "$art/plays.txt" > "$art/analysis.txt" ||
    e2e_fail "the recording does not match: $(grep '^FAIL' "$art/analysis.txt")"
e2e_log "passed"
