#!/usr/bin/env bash
# The live app equals its render: a one shot and 20 s of looped 2 played with a seed under a real
# X server and sound server, recorded from the sink, against renders of the same seed and modes.
# The same clips in the same order, every onset where the render puts it shifted by the steps'
# lateness that the app traces, to the sample, and nothing else heard (compare-render.py).
# Usage: equals-render.sh APP CLIPDIR ARTIFACT_DIR    (E2E_SOUND_SERVER=pipewire for PipeWire)
source "$(dirname "$0")/lib.sh"
app=$1 clips=$2 art=$3 seed=8
export E2E_REC_LATENCY_MS=${E2E_REC_LATENCY_MS:-20}

e2e_begin "$art"
: > "$art/marks.txt"
start_x
start_sound_server
start_recorder "$art/recording.f32"
E2E_APP_ARGS=(--seed "$seed" --trace-plays "$art/plays.txt")
launch_app "$app"

start_mode oneshot
sleep "$ONE_SHOT_SECONDS"  # not polling while it plays: the forks would take the app's core
close_message 20 "after the one shot"
poll 10 no_stream || e2e_fail "the output never went idle after the one shot"
mark oneshot_end

start_mode looped2
sleep 20  # how long looped 2 plays: a time, not a condition
press_stop "in looped 2"
poll 10 no_stream || e2e_fail "the output never went idle after looped 2"
mark looped2_end
quit_cleanly 5
e2e_stop "$E2E_RECORDER"

for mode in one-shot looped-2; do
    extra=()
    [[ $mode == looped-2 ]] && extra=(--seconds 20)
    env -i PATH=/usr/bin:/bin "$app" --render "$mode" --seed "$seed" "${extra[@]}" --force \
        --trace-plays "$art/$mode.txt" "$art/$mode.wav" > "$art/$mode-order.txt" ||
        e2e_fail "no render of $mode"
done
/usr/bin/python3 "$E2E_HERE/compare-render.py" "$clips" "$art/recording.f32" "$art/marks.txt" \
    "$art/plays.txt" oneshot "$art/one-shot.wav" "$art/one-shot.txt" \
    looped2 "$art/looped-2.wav" "$art/looped-2.txt" > "$art/comparison.txt" ||
    e2e_fail "the live app differs from its render: $(grep '^FAIL' "$art/comparison.txt")"
grep -E '^(ok|FAIL)' "$art/comparison.txt"
e2e_log "passed"
