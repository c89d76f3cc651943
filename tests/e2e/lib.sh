# Shared by the end-to-end scripts (source it): a private X server and a private sound server,
# a recorder on the sound server's output, the app under test and xdotool helpers.
# Every server and process started here is stopped by e2e_teardown, which the EXIT trap runs.

E2E_RATE=48000
# The window's content area; controls are clicked by their centres in it.
E2E_CONTENT_W=300
E2E_CONTENT_H=300
E2E_TITLE="Larkspool 8"

e2e_log() { printf '%s %s\n' "$(date +%T.%3N)" "$*" | tee -a "$E2E_LOG" >&2; }
e2e_fail() {
    e2e_log "FAIL: $*"
    return 1
}

# e2e_begin ARTIFACT_DIR : a fresh private directory and the log; installs the EXIT trap.
e2e_begin() {
    E2E_ART=$1
    mkdir -p "$E2E_ART"
    E2E_LOG=$E2E_ART/log.txt
    : > "$E2E_LOG"
    E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/lark-e2e.XXXXXX")
    E2E_PIDS=()
    # No session bus unless a test starts one: with none named, D-Bus clients on the display
    # would launch one of their own that outlives the test.
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$E2E_TMP/no-session-bus
    trap e2e_teardown EXIT
    trap 'exit 130' INT TERM
}

# Stops what this script started, newest first, then removes the private directories.
e2e_teardown() {
    local i pid
    for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
        pid=${E2E_PIDS[$i]}
        kill "$pid" 2>/dev/null
    done
    for pid in "${E2E_PIDS[@]}"; do
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.02; done
        kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    E2E_PIDS=()
    if [[ -n ${E2E_TMP:-} && -d $E2E_TMP ]]; then
        cp "$E2E_TMP"/pulse.*/pulse.log "$E2E_ART/" 2> /dev/null
        rm -rf "$E2E_TMP"
    fi
    return 0
}

e2e_track() { E2E_PIDS+=("$1"); }
e2e_untrack() {
    local keep=() p
    for p in "${E2E_PIDS[@]}"; do [[ $p == "$1" ]] || keep+=("$p"); done
    E2E_PIDS=("${keep[@]}")
}

now_us() { echo "${EPOCHREALTIME/./}"; }

# poll SECONDS COMMAND... : retries COMMAND every 10 ms until it succeeds or time runs out.
# A COMMAND that returns 2 says it never will, and ends the wait.
poll() {
    local deadline rc
    deadline=$(($(now_us) + $(awk -v s="$1" 'BEGIN { printf "%d", s * 1e6 }'))) && shift
    while true; do
        "$@" && return 0
        rc=$?
        ((rc != 2 && $(now_us) < deadline)) || return 1
        sleep 0.01
    done
}

# Starts Xvfb (a 1024x768 screen, Xvfb's default) in a runtime directory of its own, on a
# display number picked at random well above the ones people and other tools usually take;
# sets DISPLAY once it takes connections.
# -noreset: by default the server resets when its last client leaves, and refuses the next
# one (an app started just then) while it does.
start_x() {
    local dir n attempt
    dir=$(mktemp -d "$E2E_TMP/x.XXXXXX")
    for attempt in 1 2 3 4 5; do
        n=$((100 + RANDOM % 800))
        [[ -e /tmp/.X$n-lock ]] && continue
        HOME=$dir XDG_RUNTIME_DIR=$dir Xvfb ":$n" -noreset -nolisten tcp -screen 0 1024x768x24 \
            2> "$dir/xvfb.log" &
        E2E_XVFB=$!
        e2e_track "$E2E_XVFB"
        if poll 10 x_ready ":$n"; then
            DISPLAY=:$n
            export DISPLAY
            e2e_log "Xvfb on $DISPLAY"
            return 0
        fi
        kill "$E2E_XVFB" 2> /dev/null
        e2e_log "Xvfb on :$n failed (attempt $attempt): $(tail -n 3 "$dir/xvfb.log")"
    done
    e2e_fail "Xvfb did not start"
}

# x_ready DISPLAY : the server there answers, and it is ours (still running).
x_ready() {
    kill -0 "$E2E_XVFB" 2> /dev/null || return 2
    xdpyinfo -display "$1" > /dev/null 2>&1
}

# A private session bus with the accessibility bus on it, as a desktop session has; sets
# DBUS_SESSION_BUS_ADDRESS. The accessibility registry starts on demand.
start_accessibility_bus() {
    local dir
    dir=$(mktemp -d "$E2E_TMP/a11y.XXXXXX")
    eval "$(HOME=$dir XDG_RUNTIME_DIR=$dir dbus-launch --sh-syntax)"
    export DBUS_SESSION_BUS_ADDRESS
    e2e_track "$DBUS_SESSION_BUS_PID"
    HOME=$dir XDG_RUNTIME_DIR=$dir /usr/libexec/at-spi-bus-launcher --launch-immediately \
        > "$dir/bus.log" 2>&1 &
    e2e_track $!
    poll 10 dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress > /dev/null || {
        e2e_fail "the accessibility bus did not start"
        return 1
    }
    e2e_log "accessibility bus on $DBUS_SESSION_BUS_ADDRESS"
}

pulse_ready() { pactl info > /dev/null 2>&1; }

# Starts a PulseAudio daemon in a runtime directory of its own, with a mono 48 kHz float null
# sink as its default sink; sets PULSE_SERVER. No rewinds, or the monitor does not carry what
# was played; suspend on idle after 1 s, or the idle sink renders up to 2 s ahead. Logs at
# debug level: that is where the server tells when a stream ran dry.
start_sound_server() {
    local dir
    dir=$(mktemp -d "$E2E_TMP/pulse.XXXXXX")
    cat > "$dir/default.pa" << EOF
load-module module-null-sink sink_name=e2e rate=$E2E_RATE channels=1 format=float32le norewinds=1
set-default-sink e2e
load-module module-suspend-on-idle timeout=1
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/native
EOF
    export PULSE_SERVER=unix:$dir/native
    # Not -D: the daemonised server leaves a zombie behind.
    HOME=$dir XDG_RUNTIME_DIR=$dir pulseaudio -n -F "$dir/default.pa" --daemonize=no \
        --exit-idle-time=-1 --log-level=debug --log-target=file:"$dir/pulse.log" &
    E2E_PULSE=$!
    E2E_PULSE_LOG=$dir/pulse.log
    e2e_track "$E2E_PULSE"
    poll 10 pulse_ready || {
        e2e_fail "the sound server did not start"
        return 1
    }
    e2e_log "sound server at $PULSE_SERVER (pid $E2E_PULSE)"
}

# How often a playing stream ran dry: the machine did not run the app's output (or the server)
# in time, and the server played silence in the middle of the sound.
output_underruns() {
    [[ -f ${E2E_PULSE_LOG:-} ]] || { echo 0; return; }
    grep -cE 'Implicit underrun|Underrun (of|on) ' "$E2E_PULSE_LOG"
}

sound_server_alive() { [[ -n ${E2E_PULSE:-} ]] && kill -0 "$E2E_PULSE" 2>/dev/null; }

# Kills the sound server outright, as a crash would.
kill_sound_server() {
    kill -9 "$E2E_PULSE"
    wait "$E2E_PULSE" 2>/dev/null
    e2e_untrack "$E2E_PULSE"
    e2e_log "sound server killed"
}

# start_recorder FILE : records the null sink's monitor, raw mono float at 48 kHz.
start_recorder() {
    E2E_REC=$1
    parec -d e2e.monitor --latency-msec=5 --format=float32le --rate=$E2E_RATE --channels=1 \
        --raw > "$E2E_REC" 2> "$E2E_TMP/parec.log" &
    E2E_RECORDER=$!
    e2e_track "$E2E_RECORDER"
    poll 5 test -s "$E2E_REC" || {
        e2e_fail "the recorder did not start"
        return 1
    }
}

# The recording's length in samples: where in the recording a moment of the scenario falls.
rec_position() { echo $(($(stat -c %s "$E2E_REC") / 4)); }
# mark NAME : notes the recording position of a moment, for the analysis.
mark() {
    echo "$1 $(rec_position)" >> "$E2E_MARKS"
    e2e_log "mark $1"
}

stop_recorder() {
    kill "$E2E_RECORDER" 2>/dev/null
    wait "$E2E_RECORDER" 2>/dev/null
    e2e_untrack "$E2E_RECORDER"
}

# launch_app BINARY STDERR_FILE : starts the app as a user would, with a clean environment
# holding nothing but the session basics, the display and the sound server's address (and
# what a test sets of the sanitizers, the screen scale and the session and accessibility buses).
launch_app() {
    local home v vars=()
    home=$(mktemp -d "$E2E_TMP/home.XXXXXX")
    for v in ASAN_OPTIONS UBSAN_OPTIONS TSAN_OPTIONS LSAN_OPTIONS QT_SCALE_FACTOR \
        DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS QT_LINUX_ACCESSIBILITY_ALWAYS_ON; do
        [[ -n ${!v:-} ]] && vars+=("$v=${!v}")
    done
    env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home" LANG=C.UTF-8 \
        DISPLAY="$DISPLAY" PULSE_SERVER="$PULSE_SERVER" "${vars[@]}" "$1" \
        > "$home/stdout" 2> "$2" &
    E2E_APP=$!
    e2e_track "$E2E_APP"
    e2e_log "app started (pid $E2E_APP)"
}

# app_complaints STDERR_FILE : what the app wrote to stderr, less the sound library's notices
# that it recovered from an underrun (a busy machine, not the app, causes those).
app_complaints() { grep -v 'snd_pcm_recover) underrun occurred$' "$1"; }

app_alive() { kill -0 "$E2E_APP" 2>/dev/null; }

# Visible top-level windows titled like the app's; its main window and its message boxes.
titled_windows() { xdotool search --onlyvisible --name "^$E2E_TITLE\$" 2>/dev/null; }

find_main_window() {
    local w
    app_alive || return 2
    w=$(titled_windows | head -n1)
    [[ -n $w ]] && E2E_WIN=$w
}

# Sets E2E_WIN, the main window, and E2E_X0/E2E_Y0, the content area's origin in it: the
# content area is the bottom 300 rows (times E2E_SCALE), below the menu bar.
wait_main_window() {
    poll "${1:-10}" find_main_window || {
        e2e_fail "no window titled \"$E2E_TITLE\""
        return 1
    }
    local geo
    geo=$(xdotool getwindowgeometry --shell "$E2E_WIN")
    E2E_WIN_W=$(sed -n 's/^WIDTH=//p' <<< "$geo")
    E2E_WIN_H=$(sed -n 's/^HEIGHT=//p' <<< "$geo")
    # Under QT_SCALE_FACTOR the window is that many device pixels a logical one.
    E2E_SCALE=$((E2E_WIN_W / E2E_CONTENT_W))
    ((E2E_SCALE >= 1)) || E2E_SCALE=1
    E2E_X0=$((E2E_WIN_W - E2E_CONTENT_W * E2E_SCALE))
    E2E_Y0=$((E2E_WIN_H - E2E_CONTENT_H * E2E_SCALE))
    e2e_log "main window $E2E_WIN, ${E2E_WIN_W}x$E2E_WIN_H"
}

find_message_box() {
    local w
    for w in $(titled_windows); do
        if [[ $w != "$E2E_WIN" ]]; then
            E2E_MSG=$w
            return 0
        fi
    done
    return 1
}
no_message_box() { ! find_message_box; }

# wait_message_box SECONDS : sets E2E_MSG to the message box once it shows.
wait_message_box() { poll "$1" find_message_box; }

# Presses the message box's default button (its only one, OK) and waits for it to close.
dismiss_message_box() {
    xdotool windowfocus --sync "$E2E_MSG" key Return || true
    poll 5 no_message_box || {
        e2e_fail "the message box did not close"
        return 1
    }
}

# click X Y : a left click at a point of the content area, in its own (logical) pixels.
click() {
    xdotool mousemove --window "$E2E_WIN" $((E2E_X0 + $1 * E2E_SCALE)) \
        $((E2E_Y0 + $2 * E2E_SCALE)) click 1
    sleep 0.05
}
# Centres of the controls, from their geometry in the content area.
click_start() { click 150 150; }
click_stop() { click 150 250; }
click_looped1() { click 75 30; }
click_oneshot() { click 225 30; }
click_looped2() { click 150 70; }

press_quit() { xdotool windowfocus --sync "$E2E_WIN" key ctrl+q; }

# wait_app_exit SECONDS : sets E2E_APP_RC; fails when the app outlives the time.
wait_app_exit() {
    poll "$1" eval '! app_alive' || {
        e2e_fail "the app did not exit within $1 s"
        return 1
    }
    wait "$E2E_APP"
    E2E_APP_RC=$?
    e2e_untrack "$E2E_APP"
}

screenshot() { import -display "$DISPLAY" -window root "$1" 2>> "$E2E_LOG" || true; }

# quit_cleanly SECONDS : Ctrl+Q; the app must be gone within SECONDS, with status 0.
quit_cleanly() {
    press_quit
    wait_app_exit "$1" || return 1
    ((E2E_APP_RC == 0)) || e2e_fail "the app exited with status $E2E_APP_RC"
}

# CPU time used by a process so far, in clock ticks (user + system).
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# Starts the sound server again after kill_sound_server, at the same address and with the same
# sinks, as a user who resets their audio would; the app is not told.
restart_sound_server() {
    local dir
    dir=$(dirname "$E2E_PULSE_LOG")
    HOME=$dir XDG_RUNTIME_DIR=$dir pulseaudio -n -F "$dir/default.pa" --daemonize=no \
        --exit-idle-time=-1 --log-level=debug --log-target=file:"$dir/pulse-restarted.log" &
    E2E_PULSE=$!
    E2E_PULSE_LOG=$dir/pulse-restarted.log
    e2e_track "$E2E_PULSE"
    poll 10 pulse_ready || {
        e2e_fail "the sound server did not start again"
        return 1
    }
    e2e_log "sound server started again (pid $E2E_PULSE)"
}

# The same as start_sound_server, on PipeWire and its PulseAudio service instead: a session bus,
# pipewire, wireplumber and pipewire-pulse in a runtime directory of their own, and a mono
# 48 kHz float null sink "e2e" as the default sink (PipeWire's dummy driver drives the graph).
# Sets PULSE_SERVER and E2E_PULSE (the PulseAudio service's pid).
start_pipewire() {
    local dir bus
    dir=$(mktemp -d "$E2E_TMP/pipewire.XXXXXX")
    bus=$(HOME=$dir XDG_RUNTIME_DIR=$dir dbus-launch --sh-syntax) || {
        e2e_fail "dbus-launch failed"
        return 1
    }
    eval "$bus"
    e2e_track "$DBUS_SESSION_BUS_PID"
    local -x HOME=$dir XDG_RUNTIME_DIR=$dir DBUS_SESSION_BUS_ADDRESS
    pipewire > "$dir/pipewire.log" 2>&1 &
    e2e_track $!
    poll 10 test -S "$dir/pipewire-0" || {
        e2e_fail "PipeWire did not start"
        return 1
    }
    wireplumber > "$dir/wireplumber.log" 2>&1 &
    e2e_track $!
    # Info level: where it tells that a stream ran dry.
    PIPEWIRE_DEBUG=3 pipewire-pulse > "$dir/pipewire-pulse.log" 2>&1 &
    E2E_PULSE=$!
    e2e_track "$E2E_PULSE"
    E2E_PULSE_LOG=$dir/pipewire-pulse.log
    export PULSE_SERVER=unix:$dir/pulse/native
    poll 10 pulse_ready || {
        e2e_fail "PipeWire's PulseAudio service did not start"
        return 1
    }
    # The service answers before the graph can make sinks: try until it can.
    poll 10 eval "pactl load-module module-null-sink sink_name=e2e rate=$E2E_RATE channels=1 \
        format=float32le > /dev/null 2>&1" && pactl set-default-sink e2e || {
        e2e_fail "no null sink on PipeWire"
        return 1
    }
    e2e_log "PipeWire at $PULSE_SERVER ($(pactl info | sed -n 's/^Server Name: //p'))"
}

# output_underruns, for either server: PipeWire's PulseAudio service tells of a stream that ran
# dry, or of a graph cycle it missed, at info level.
server_underruns() {
    [[ -f ${E2E_PULSE_LOG:-} ]] || { echo 0; return; }
    grep -cE 'Implicit underrun|Underrun (of|on) |UNDERFLOW|client missed [0-9]+ wakeups' \
        "$E2E_PULSE_LOG"
}
