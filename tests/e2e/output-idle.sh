#!/usr/bin/env bash
# The sound output runs only while sound is due. Idle, before the first performance and a few
# seconds after one, the app has no stream on the sound server, its output thread never wakes
# and the process uses no CPU; a performance starts a stream that the desktop shows as the
# piece's own (name, icon, music role), and a second performance is heard like the first.
# Usage: output-idle.sh APP ARTIFACT_DIR
set -uo pipefail

app=$1 art=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

IDLE_WINDOW=5       # seconds over which idleness is measured
IDLE_TICKS_MAX=1    # CPU accounting is sampled: one tick may land on a process that slept
STREAM_KEEP=2       # seconds the stream must outlive the last sound: longer than any pause
STREAM_GONE_BY=10   # the longest clip (2.84 s) and the few seconds of silence after it

# Our streams on the server, one "Sink Input" block each.
our_streams() { pactl list sink-inputs 2> /dev/null | grep -c 'application.name = "Larkspool 8"'; }
no_stream() { (($(our_streams) == 0)); }

# The output thread's context switches so far: each is a wakeup.
output_wakeups() {
    local t
    for t in /proc/"$E2E_APP"/task/*; do
        [[ $(cat "$t/comm" 2> /dev/null) == lark-output ]] &&
            awk '/ctxt_switches/ { s += $2 } END { print s }' "$t/status"
    done
}

# expect_idle WHEN : no stream, no wakeups of the output, no CPU, over IDLE_WINDOW seconds.
expect_idle() {
    local w0 t0 w1 t1
    no_stream || e2e_fail "$1: a stream of ours is on the sound server" || return 1
    w0=$(output_wakeups) t0=$(cpu_ticks "$E2E_APP")
    [[ -n $w0 ]] || e2e_fail "$1: no output thread" || return 1
    sleep $IDLE_WINDOW
    w1=$(output_wakeups) t1=$(cpu_ticks "$E2E_APP")
    e2e_log "$1: output wakeups $((w1 - w0)), CPU ticks $((t1 - t0)) in $IDLE_WINDOW s"
    ((w1 == w0)) || e2e_fail "$1: the output woke $((w1 - w0)) times" || return 1
    ((t1 - t0 <= IDLE_TICKS_MAX)) || e2e_fail "$1: $((t1 - t0)) CPU ticks while idle" || return 1
    no_stream || e2e_fail "$1: a stream of ours came up while idle"
}

# heard_since POSITION : the recording holds sound after that sample.
heard_since() {
    /usr/bin/python3 -c '
import sys, numpy as np
x = np.fromfile(sys.argv[1], dtype="<f4")[int(sys.argv[2]):]
sys.exit(0 if len(x) and np.max(np.abs(x)) > 0.1 else 1)' "$E2E_REC" "$1"
}

# perform WHEN : a looped 2 performance of a few seconds, heard, with our stream showing.
perform() {
    local from
    from=$(rec_position)
    click_looped2
    click_start
    sleep 1.5
    pactl list sink-inputs > "$art/sink-inputs-$1.txt" 2>&1
    local field
    for field in 'application.name = "Larkspool 8"' 'application.icon_name = "larkspool8"' \
        'media.role = "music"' 'media.name = "Larkspool 8"' 'Corked: no'; do
        grep -qF "$field" "$art/sink-inputs-$1.txt" ||
            e2e_fail "$1: our stream does not show $field" || return 1
    done
    # A draw may be the pause clip, silent for 2.84 s: wait until something sounds.
    poll 10 heard_since "$from" || e2e_fail "$1: the performance was not heard" || return 1
    click_stop
    wait_message_box 5 || e2e_fail "$1: no message after \"stop\"" || return 1
    dismiss_message_box || return 1
    sleep $STREAM_KEEP
    (($(our_streams) == 1)) || e2e_fail "$1: the stream ended within $STREAM_KEEP s" || return 1
    poll $STREAM_GONE_BY no_stream ||
        e2e_fail "$1: the stream still runs $STREAM_GONE_BY s after the performance" || return 1
    e2e_log "$1: the stream ended after the performance"
}

e2e_begin "$art"
start_x && start_sound_server && start_recorder "$art/recording.f32" || exit 1
E2E_MARKS=$art/marks.txt
launch_app "$app" "$art/app-stderr.txt"
wait_main_window 10 || exit 1
sleep 1

expect_idle "before the first performance" || exit 1
perform "first performance" || exit 1
expect_idle "after the first performance" || exit 1
perform "second performance" || exit 1

quit_cleanly 2 || exit 1
stop_recorder
grep -q . "$art/app-stderr.txt" && e2e_log "app stderr: $(head -c 2000 "$art/app-stderr.txt")"
e2e_log "passed"
