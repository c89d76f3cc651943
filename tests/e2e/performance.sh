#!/usr/bin/env bash
# The piece as a user meets it: the built app under a real X server and a real sound server,
# driven with xdotool; the sound it makes is recorded and checked against the clip data.
# Usage: performance.sh APP CLIPDIR ARTIFACT_DIR
# With E2E_SOUND_SERVER=pipewire the sound server is PipeWire's PulseAudio service.
set -uo pipefail

app=$1 clips=$2 art=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

# One shot: thirteen steps (8.86 s) and the 2 s pause, with room for a loaded machine.
ONE_SHOT_WAIT=20

start_server() {
    if [[ ${E2E_SOUND_SERVER:-pulseaudio} == pipewire ]]; then
        start_pipewire
    else
        start_sound_server
    fi
}

scenario() {
    E2E_MARKS=$art/marks.txt
    : > "$E2E_MARKS"
    start_x && start_server && start_recorder "$art/recording.f32" || return 1
    launch_app "$app" "$art/app-stderr.txt"
    wait_main_window 10 || return 1
    [[ $E2E_WIN_W == 300 && $E2E_WIN_H -ge 300 && $E2E_WIN_H -le 340 ]] ||
        e2e_fail "window is ${E2E_WIN_W}x$E2E_WIN_H, not 300 wide with a 300 high content area" ||
        return 1

    # "stop" is greyed while idle: clicking it shows nothing.
    click_stop
    sleep 0.3
    no_message_box || e2e_fail "\"stop\" answered while idle" || return 1

    click_oneshot
    mark oneshot_start
    click_start
    sleep 2
    screenshot "$art/during-one-shot.png"
    pactl list sink-inputs > "$art/sink-inputs.txt" 2>&1
    wait_message_box $ONE_SHOT_WAIT || e2e_fail "no message after the one shot performance" ||
        return 1
    mark oneshot_message
    dismiss_message_box || return 1

    click_looped2
    mark looped_start
    click_start
    sleep 4
    mark looped_stop
    click_stop
    wait_message_box 5 || e2e_fail "no message after \"stop\"" || return 1
    dismiss_message_box || return 1
    # Longer than any step: a clip the stop failed to prevent would start in this time.
    sleep 3.5

    awk '/VmHWM/ { print "peak RSS: " $2 " " $3 }' "/proc/$E2E_APP/status" | tee -a "$E2E_LOG"
    quit_cleanly 5 || return 1
    stop_recorder
    sound_server_alive || e2e_fail "the sound server died during the scenario" || return 1
    grep -q . "$art/app-stderr.txt" && e2e_log "app stderr: $(head -c 2000 "$art/app-stderr.txt")"
    return 0
}

analyse() {
    /usr/bin/python3 "$here/analyse-recording.py" "$clips" "$art/recording.f32" "$E2E_MARKS" \
        > "$art/analysis.txt" || {
        grep -E '^FAIL' "$art/analysis.txt"
        e2e_fail "the recording does not match the performances"
    }
}

# Why a failed attempt deserves another: the sound server aborts now and then, and a machine
# busy with other work (here, or a neighbour on the same host) can starve the output, so that
# the server plays silence in the middle of a clip and shifts what follows, or hold the app up
# for a few milliseconds between two steps. The first the server's log tells; the analysis
# tells the second (a few onsets off by under 10 ms, everything else right). A wrong step
# length is off by 10 ms or more, in every attempt; any other failure ends the test at once.
# PipeWire's service, not real-time here, misses graph cycles more often: it gets more.
ATTEMPTS=$([[ ${E2E_SOUND_SERVER:-} == pipewire ]] && echo 5 || echo 3)
worth_retrying() {
    local dry
    dry=$(server_underruns)
    if ! sound_server_alive; then
        e2e_log "the sound server was gone"
    elif ((dry > 0)); then
        e2e_log "the output ran dry $dry time(s): the machine was too busy to play it in time"
    elif grep -q '^held up:' "$art/analysis.txt" 2> /dev/null; then
        e2e_log "an onset was off by under 10 ms: the machine held the app up"
    elif [[ ${E2E_SOUND_SERVER:-} == pipewire ]]; then
        # Its skipped cycles do not always reach its log; a fault of the app's own shows in
        # every attempt all the same.
        e2e_log "PipeWire may have skipped a graph cycle without saying so"
    else
        return 1
    fi
}

e2e_begin "$art"
ok=0
for ((attempt = 1; attempt <= ATTEMPTS; attempt++)); do
    e2e_log "attempt $attempt"
    if scenario && analyse; then
        ok=1
        break
    fi
    if ((attempt == ATTEMPTS)) || ! worth_retrying; then
        break
    fi
    e2e_log "trying again; this attempt is kept in $art/attempt$attempt"
    e2e_teardown
    rm -rf "$art/attempt$attempt"
    mkdir -p "$art/attempt$attempt"
    mv "$art"/*.* "$art/attempt$attempt/" 2> /dev/null
    cp "$art/attempt$attempt/log.txt" "$E2E_LOG"
    E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/lark-e2e.XXXXXX")
done
((ok)) || {
    e2e_log "failed; see $art"
    exit 1
}
grep -E '^(ok|FAIL)|spacing minus' "$art/analysis.txt"
e2e_log "passed (the output ran dry $(server_underruns) time(s))"
