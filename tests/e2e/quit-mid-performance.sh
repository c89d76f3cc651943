#!/usr/bin/env bash
# Ctrl+Q in the middle of a performance, 20 times, the three modes in turn and at different
# moments: every time the app is gone within 1 s, with status 0 and nothing on stderr (no
# crash, assertion or complaint on the way out; a busy machine's underrun notice aside).
# Usage: quit-mid-performance.sh APP ARTIFACT_DIR
source "$(dirname "$0")/lib.sh"

e2e_begin "$2"
start_x
start_sound_server
modes=(looped1 oneshot looped2)
for ((run = 0; run < 20; run++)); do
    mode=${modes[run % 3]}
    # Between 0.2 and 1.9 s into the performance, spread over the runs: a moment chosen, not a
    # wait for something.
    delay_ms=$((200 + run * 370 % 1700))
    launch_app "$1" "$E2E_ART/app-stderr-$run.txt"
    click "$mode" start
    sleep "$((delay_ms / 1000)).$(printf %03d $((delay_ms % 1000)))"
    app_alive || e2e_fail "run $run: the app died during $mode"
    e2e_log "run $run: $mode, Ctrl+Q after $delay_ms ms"
    quit_cleanly 1
    # The sound library's notice that it recovered from an underrun comes of a busy machine.
    ! grep -v 'snd_pcm_recover) underrun occurred$' "$E2E_ERR" | grep -q . ||
        e2e_fail "run $run: the app wrote to stderr: $(head -c 2000 "$E2E_ERR")"
    sound_server_alive || e2e_fail "the sound server died"
done
e2e_log "passed"
