#!/usr/bin/env bash
# The sound output and its server. The output runs only while sound is due: idle, before the
# first performance and a few seconds after one, the app has no stream on the sound server, its
# output thread never wakes and the process uses no CPU; a performance starts a stream that the
# desktop shows as the piece's own (name, icon, music role), and a second one is heard like the
# first. The server then dies in the middle of it: the app keeps running, idles as before (no
# spinning on a dead stream) and answers "stop" and "start". A new server starts, as when a user
# resets their audio: the next performance is heard through it without restarting the app.
# Usage: sound-server.sh APP ARTIFACT_DIR
source "$(dirname "$0")/lib.sh"

# The output thread's context switches so far: each is a wakeup.
output_wakeups() {
    local comm
    comm=$(grep -lx lark-output /proc/"$E2E_APP"/task/*/comm 2> /dev/null) &&
        awk '/ctxt_switches/ { s += $2 } END { print s }' "${comm%comm}status"
}

# expect_idle WHEN : no stream, no wakeups of the output and no CPU over 5 s (accounting is
# sampled: one tick may land on a process that slept). The 5 s are the measurement itself.
expect_idle() {
    local w0 t0 w1 t1
    no_stream || e2e_fail "$1: a stream of ours is on the sound server"
    w0=$(output_wakeups) t0=$(cpu_ticks)
    [[ -n $w0 ]] || e2e_fail "$1: no output thread"
    sleep 5
    w1=$(output_wakeups) t1=$(cpu_ticks)
    e2e_log "$1: output wakeups $((w1 - w0)), CPU ticks $((t1 - t0)) in 5 s"
    ((w1 == w0 && t1 - t0 <= 1)) || e2e_fail "$1: the output woke, or the app used CPU"
    no_stream || e2e_fail "$1: a stream of ours came up while idle"
}

# heard_since SAMPLE : the recording holds sound (a peak above a tenth of full scale) after SAMPLE.
heard_since() {
    /usr/bin/python3 -c 'import sys, numpy as np
x = np.fromfile(sys.argv[1], dtype="<f4")[int(sys.argv[2]):]
sys.exit(0 if len(x) and np.max(np.abs(x)) > 0.1 else 1)' "$E2E_REC" "$1"
}

# Our stream shows as the piece's own, playing.
stream_shown() {
    local field
    pactl list sink-inputs > "$E2E_ART/sink-inputs.txt" 2>&1
    for field in 'application.name = "Larkspool 8"' 'application.icon_name = "larkspool8"' \
        'media.role = "music"' 'media.name = "Larkspool 8"' 'Corked: no'; do
        grep -qF "$field" "$E2E_ART/sink-inputs.txt" || return 1
    done
}

# perform WHEN : starts a looped 2 performance; its stream shows and it is heard.
perform() {
    local from
    from=$(rec_position)
    click looped2 start
    poll 5 stream_shown || e2e_fail "$1: no stream of ours shown, see sink-inputs.txt"
    # A draw may be the pause clip, silent for 2.84 s: wait until something sounds.
    poll 10 heard_since "$from" || e2e_fail "$1: the performance was not heard"
}

e2e_begin "$2"
start_x
start_sound_server
start_recorder "$E2E_ART/recording.f32"
launch_app "$1"
# Start-up's work, the clips' decoding, is done once half a second (measured) costs no CPU.
poll 10 eval 't0=$(cpu_ticks) && sleep 0.5 && (($(cpu_ticks) == t0))' ||
    e2e_fail "the app did not settle after start-up"
expect_idle "before the first performance"
perform "first performance"
press_stop "in the first performance"
# The stream outlives the last sound by longer than any pause, and ends once the longest clip
# (2.84 s) and a few seconds of silence after it have passed: 2 s it must last, measured.
sleep 2
(($(our_streams) == 1)) || e2e_fail "the stream ended within 2 s of the performance"
poll 10 no_stream || e2e_fail "the stream still runs 10 s after the performance"
expect_idle "after the first performance"
perform "second performance"

e2e_stop "$E2E_RECORDER"
e2e_stop "$E2E_PULSE" KILL
# Its CPU over the 3 s after the loss, measured; then "stop" shows it still answers.
t0=$(cpu_ticks)
sleep 3
app_alive || e2e_fail "the app died with the sound server"
cpu=$((($(cpu_ticks) - t0) * 100 / ($(getconf CLK_TCK) * 3)))
e2e_log "CPU after the sound server died: $cpu %"
((cpu < 10)) || e2e_fail "the app uses $cpu % of a core without its sound server"
press_stop "without a sound server"
click start
poll 5 enabled stop || e2e_fail "\"start\" not handled without a sound server"
press_stop "after \"start\" without a sound server"

start_sound_server "$E2E_SERVER_DIR"
start_recorder "$E2E_ART/after-restart.f32"
perform "after the sound server started again"
press_stop "after the sound server started again"
quit_cleanly 2
e2e_log "passed"
