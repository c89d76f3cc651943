# Shared by the end-to-end scripts (source it): a private X server and a private sound server,
# a recorder on the sound server's output, the app under test and xdotool helpers.
# Every server and process a script starts is a job of its shell in a process group of its own
# (spawn), which e2e_teardown, run by the EXIT trap, stops whole, with what the job started.
# A failed step logs why and ends the script (or the subshell it runs in) with status 1.
set -uo pipefail

E2E_RATE=48000
# A one shot performance lasts at least this long from the click on start to its message box:
# its thirteen steps (8.86 s) and its 2 s pause, less a margin.
ONE_SHOT_SECONDS=10.5
E2E_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

e2e_log() { printf '%s %s\n' "$(date +%T.%3N)" "$*" | tee -a "$E2E_LOG" >&2; }
e2e_fail() { e2e_log "FAIL: $*"; exit 1; }

# e2e_begin ARTIFACT_DIR : a fresh private directory and the log; installs the EXIT trap.
e2e_begin() {
    E2E_ART=$1 E2E_LOG=$1/log.txt
    mkdir -p "$E2E_ART" && : > "$E2E_LOG"
    E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/lark-e2e.XXXXXX") E2E_GROUPS=() E2E_APP_ARGS=()
    # No session bus unless a test starts one: with none named, D-Bus clients on the display
    # would launch one of their own that outlives the test.
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$E2E_TMP/no-session-bus
    # No display but the test's own.
    unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
    trap e2e_teardown EXIT
    trap 'exit 130' INT TERM
}

# Stops the script's process groups, newest first, and any other job; keeps the servers' logs
# and removes the private directories.
e2e_teardown() {
    local groups=("${E2E_GROUPS[@]/#/-}") list
    list=$(IFS=,; echo "${E2E_GROUPS[*]}")
    kill -- $(printf '%s\n' "${groups[@]}" | tac) $(jobs -rp) 2> /dev/null
    # Zombies aside: a daemon's children outlive their parent, and pid 1 reaps them in its time.
    poll 2 eval '[[ -z $(jobs -rp) ]] && ! pgrep -g "$list" -r R,S,D,T,t' ||
        kill -9 -- "${groups[@]}" $(jobs -rp) 2> /dev/null
    wait
    cp "$E2E_TMP"/*/*.log "$E2E_ART/" 2> /dev/null
    rm -rf "$E2E_TMP"
}

# spawn COMMAND... : starts COMMAND as a job, in a process group of its own that teardown stops
# whole (a daemon's children too); sets E2E_PID. The caller's redirections apply.
spawn() {
    setsid "$@" &
    E2E_PID=$!
    E2E_GROUPS+=("$E2E_PID")
}

# e2e_stop PID [SIGNAL] : ends a job and reaps it; returns its status.
e2e_stop() { kill "-${2:-TERM}" "$1" 2> /dev/null; wait "$1" 2> /dev/null; }

now_us() { echo "${EPOCHREALTIME/./}"; }

# poll SECONDS COMMAND... : retries COMMAND, quietly, every 10 ms until it succeeds or time runs
# out. COMMAND ends the wait early by calling `never` (in this shell) when it knows it never will.
poll() {
    local deadline=$(($(now_us) + $1 * 1000000))
    shift
    E2E_NEVER=
    until "$@" > /dev/null 2>&1; do
        [[ -z $E2E_NEVER ]] && (($(now_us) < deadline)) || return 1
        sleep 0.01
    done
}
never() { E2E_NEVER=1 && return 1; }

# Starts Xvfb (a 1024x768 screen, its default) on a display number it picks itself, and sets
# DISPLAY once it takes connections. -noreset: by default the server resets when its last client
# leaves, and refuses the next one (an app started just then) while it does.
start_x() {
    local dir
    dir=$(mktemp -d "$E2E_TMP/x.XXXXXX")
    HOME=$dir XDG_RUNTIME_DIR=$dir spawn Xvfb -displayfd 3 -noreset -nolisten tcp \
        -screen 0 1024x768x24 3> "$dir/display" 2> "$dir/xvfb.log"
    poll 10 grep -q . "$dir/display" || e2e_fail "Xvfb did not start: $(tail -n 3 "$dir/xvfb.log")"
    export DISPLAY=:$(< "$dir/display")
    e2e_log "Xvfb on $DISPLAY"
}

# start_sound_server [DIR] : a sound server in a runtime directory of its own (or, after a kill,
# again in DIR, at the same address and with the same sink), with a mono 48 kHz float null sink
# "e2e" as its default sink. Sets PULSE_SERVER, E2E_SERVER_DIR, E2E_PULSE (the pid of what serves
# PULSE_SERVER) and E2E_PULSE_LOG. With E2E_SOUND_SERVER=pipewire it is PipeWire, with its
# PulseAudio service (PipeWire's dummy driver drives the graph) on a session bus of its own,
# which the app then shares as on a desktop; else PulseAudio.
start_sound_server() {
    E2E_SERVER_DIR=${1:-$(mktemp -d "$E2E_TMP/sound.XXXXXX")}
    local -x HOME=$E2E_SERVER_DIR XDG_RUNTIME_DIR=$E2E_SERVER_DIR
    E2E_PULSE_LOG=$E2E_SERVER_DIR/server-$(now_us).log
    if [[ ${E2E_SOUND_SERVER:-} == pipewire ]]; then
        start_session_bus "$HOME"
        spawn pipewire > "$HOME/pipewire.log" 2>&1
        poll 10 test -S "$HOME/pipewire-0" || e2e_fail "PipeWire did not start"
        # No Bluetooth: Debian 12's WirePlumber needs logind's seats for it, and where systemd
        # never ran (a container, a chroot) it quits, and the service has no default sink.
        local lua=$HOME/.config/wireplumber/bluetooth.lua.d
        mkdir -p "$lua" && echo 'bluez_monitor.enabled = false' > "$lua/80-e2e.lua"
        spawn wireplumber > "$HOME/wireplumber.log" 2>&1
        # Info level: where it tells that a stream ran dry.
        PIPEWIRE_DEBUG=3 spawn pipewire-pulse > "$E2E_PULSE_LOG" 2>&1
        E2E_PULSE=$E2E_PID
        export PULSE_SERVER=unix:$HOME/pulse/native
        # The service answers before the graph can make sinks, and before the session manager
        # keeps the default sink ("Not supported" until then): try each until it can.
        poll 10 pactl load-module module-null-sink sink_name=e2e rate=$E2E_RATE channels=1 \
            format=float32le && poll 10 pactl set-default-sink e2e ||
            e2e_fail "no null sink on PipeWire"
    else
        # No rewinds, or the monitor does not carry what was played; suspend on idle after 1 s,
        # or the idle sink renders up to 2 s ahead.
        spawn_pulseaudio "$HOME" "load-module module-null-sink sink_name=e2e rate=$E2E_RATE \
channels=1 format=float32le norewinds=1" 'set-default-sink e2e' \
            'load-module module-suspend-on-idle timeout=1'
        poll 10 pactl info || e2e_fail "the sound server did not start"
    fi
    e2e_log "sound server $(pactl info | sed -n 's/^Server Name: //p') at $PULSE_SERVER"
}

# spawn_pulseaudio DIR LINE... : a PulseAudio configured by the lines, serving DIR/native, logging
# at debug level to E2E_PULSE_LOG (where it tells when a stream ran dry). Sets PULSE_SERVER and
# E2E_PULSE. Not -D: the daemonised server leaves a zombie behind.
spawn_pulseaudio() {
    printf '%s\n' "${@:2}" \
        "load-module module-native-protocol-unix auth-anonymous=1 socket=$1/native" > "$1/default.pa"
    HOME=$1 XDG_RUNTIME_DIR=$1 spawn pulseaudio -n -F "$1/default.pa" --daemonize=no \
        --exit-idle-time=-1 --log-level=debug --log-target=file:"$E2E_PULSE_LOG"
    E2E_PULSE=$E2E_PID
    export PULSE_SERVER=unix:$1/native
}

# through_alsa_plugin COMMAND... : runs COMMAND (launch_app) with the sound server's own client
# pointed nowhere and ALSA's default device on the server through ALSA's pulse plugin, so the
# app plays through its fallback, PortAudio, as on a machine with plain ALSA.
through_alsa_plugin() {
    local conf=$E2E_TMP/asound.conf
    printf 'pcm.!default { type pulse server "%s" }\nctl.!default { type pulse server "%s" }\n' \
        "$PULSE_SERVER" "$PULSE_SERVER" > "$conf"
    ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:$conf PULSE_SERVER=unix:/nonexistent "$@"
}

# start_session_bus DIR : a private session bus; sets DBUS_SESSION_BUS_ADDRESS.
start_session_bus() {
    spawn dbus-daemon --session --nofork --print-address=3 3> "$1/bus" 2> "$1/bus.log"
    poll 10 grep -q . "$1/bus" || e2e_fail "the session bus did not start"
    DBUS_SESSION_BUS_ADDRESS=$(< "$1/bus")
}

# A session bus with the accessibility bus on it, as a desktop session has (the accessibility
# registry starts on demand), and the app's accessibility on.
start_accessibility_bus() {
    local dir
    dir=$(mktemp -d "$E2E_TMP/a11y.XXXXXX")
    start_session_bus "$dir"
    HOME=$dir XDG_RUNTIME_DIR=$dir spawn /usr/libexec/at-spi-bus-launcher --launch-immediately \
        > "$dir/a11y-bus.log" 2>&1
    poll 10 dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress || e2e_fail "the accessibility bus did not start"
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
}

# Our streams on the sound server, one "Sink Input" block each: none once the output has ended
# idle, every voice sounded out.
our_streams() { pactl list sink-inputs 2> /dev/null | grep -c 'application.name = "Larkspool 8"'; }
no_stream() { (($(our_streams) == 0)); }

sound_server_alive() { kill -0 "${E2E_PULSE:-}" 2> /dev/null; }

# start_tunnel_server LATENCY_MS : a second PulseAudio, for the app, whose one sink carries what
# it plays into the running server's "e2e" sink over the network protocol, with LATENCY_MS of
# latency, as a network or Bluetooth sink would. Sets PULSE_SERVER to it, E2E_PULSE to its pid
# and E2E_PULSE_LOG to its log; the recorder stays on the first server.
start_tunnel_server() {
    local dir
    dir=$(mktemp -d "$E2E_TMP/tunnel.XXXXXX")
    E2E_PULSE_LOG=$dir/server-$(now_us).log
    spawn_pulseaudio "$dir" "load-module module-tunnel-sink server=${PULSE_SERVER#unix:} sink=e2e \
sink_name=far latency_msec=$1 rate=$E2E_RATE channels=1 format=float32le" 'set-default-sink far'
    poll 10 eval 'pactl list sinks short | grep -qw far' ||
        e2e_fail "no tunnel sink: $(tail -n 3 "$E2E_PULSE_LOG")"
    e2e_log "a tunnel sink of $1 ms at $PULSE_SERVER"
}

# start_recorder FILE : records the null sink's monitor, raw mono float at 48 kHz. A short
# buffer keeps the marks close to the moments they stand for; E2E_REC_LATENCY_MS lengthens it
# (on PipeWire the shortest buffer asked for sets everyone's graph cycle).
start_recorder() {
    E2E_REC=$1
    spawn parec -d e2e.monitor --latency-msec="${E2E_REC_LATENCY_MS:-5}" --format=float32le \
        --rate=$E2E_RATE --channels=1 --raw > "$E2E_REC" 2> "$E2E_TMP/parec.log"
    E2E_RECORDER=$E2E_PID
    poll 5 test -s "$E2E_REC" || e2e_fail "the recorder did not start"
}

# The recording's length in samples: where in the recording a moment of the scenario falls.
rec_position() { echo $(($(stat -c %s "$E2E_REC") / 4)); }
# mark NAME : notes the recording position of a moment in marks.txt, for the analysis.
mark() { echo "$1 $(rec_position)" >> "$E2E_ART/marks.txt"; }

# launch_app BINARY [STDERR_FILE] : starts the app as a user would (with the options in the
# array E2E_APP_ARGS), with a clean environment
# holding nothing but the session basics, the display and the sound server's address (and what
# a test sets of the sanitizers, the screen scale, the buses and Qt's platform). On X it waits
# for the main window, and sets E2E_WIN, and WIDTH and HEIGHT to its size.
launch_app() {
    local home v vars=() X Y SCREEN WINDOW
    home=$(mktemp -d "$E2E_TMP/home.XXXXXX")
    for v in DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM ASAN_OPTIONS UBSAN_OPTIONS TSAN_OPTIONS \
        LSAN_OPTIONS QT_SCALE_FACTOR ALSA_CONFIG_PATH DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS \
        QT_LINUX_ACCESSIBILITY_ALWAYS_ON; do
        [[ -n ${!v:-} ]] && vars+=("$v=${!v}")
    done
    E2E_ERR=${2:-$E2E_ART/app-stderr.txt}
    spawn env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home" LANG=C.UTF-8 \
        PULSE_SERVER="$PULSE_SERVER" "${vars[@]}" "$1" "${E2E_APP_ARGS[@]}" \
        > "$home/stdout" 2> "$E2E_ERR"
    E2E_APP=$E2E_PID
    [[ -n ${DISPLAY:-} ]] || return 0
    poll 10 find_main_window || e2e_fail "no window titled \"Larkspool 8\""
    eval "$(xdotool getwindowgeometry --shell "$E2E_WIN")"
    # The content area is the bottom 300x300 logical pixels, below the menu bar; under
    # QT_SCALE_FACTOR a logical pixel is that many device pixels.
    E2E_SCALE=$((WIDTH >= 600 ? WIDTH / 300 : 1))
    E2E_X0=$((WIDTH - 300 * E2E_SCALE)) E2E_Y0=$((HEIGHT - 300 * E2E_SCALE))
    e2e_log "app (pid $E2E_APP) shows window $E2E_WIN, ${WIDTH}x$HEIGHT"
}

app_alive() { kill -0 "$E2E_APP" 2> /dev/null; }
# CPU time the app used so far, in clock ticks (user + system).
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$E2E_APP/stat"; }

# Visible top-level windows titled like the app's: its main window, and its message boxes.
titled_windows() { xdotool search --onlyvisible --name '^Larkspool 8$' 2> /dev/null; }
find_main_window() {
    app_alive || never
    E2E_WIN=$(titled_windows | head -n1)
    [[ -n $E2E_WIN ]]
}
# Polled while a performance plays: one process a try, to take little from it.
find_message_box() {
    for E2E_MSG in $(titled_windows); do
        [[ $E2E_MSG != "$E2E_WIN" ]] && return 0
    done
    return 1
}
no_message_box() { ! find_message_box; }

# close_message SECONDS WHAT [COMMAND...] : waits for a message box, runs COMMAND while it shows,
# then presses its default button (its only one, OK) and waits for it to close.
close_message() {
    poll "$1" find_message_box || e2e_fail "no message box $2"
    "${@:3}"
    xdotool windowfocus --sync "$E2E_MSG" key Return
    poll 5 no_message_box || e2e_fail "the message box $2 did not close"
}

# press_stop WHEN [COMMAND...] : clicks "stop" and closes the message it brings, running COMMAND
# while it shows.
press_stop() {
    click stop
    close_message 5 "after \"stop\" $1" "${@:2}"
}

# start_mode MODE : chooses the mode and presses start, marking the moment as MODE_start.
start_mode() {
    click "$1"
    mark "$1_start"
    click start
}

# The controls' centres, from their geometry in the content area (in logical pixels).
declare -A E2E_AT=([looped1]="75 30" [oneshot]="225 30" [looped2]="150 70" [start]="150 150"
    [stop]="150 250")

# click CONTROL... : left clicks at the controls' centres. The X server hands the app the
# clicks in order, so each is handled before the next.
click() {
    local control xy
    for control; do
        read -ra xy <<< "${E2E_AT[$control]}"
        xdotool mousemove --window "$E2E_WIN" $((E2E_X0 + xy[0] * E2E_SCALE)) \
            $((E2E_Y0 + xy[1] * E2E_SCALE)) click 1
    done
}

# enabled CONTROL : the screen shows the control's caption in black, not greyed out.
enabled() {
    local xy
    read -ra xy <<< "${E2E_AT[$1]}"
    [[ $(import -display "$DISPLAY" -window "$E2E_WIN" -crop "$((60 * E2E_SCALE))x$((16 * \
        E2E_SCALE))+$((E2E_X0 + (xy[0] - 30) * E2E_SCALE))+$((E2E_Y0 + (xy[1] - 8) * E2E_SCALE))" \
        -colorspace gray -format '%[fx:minima < 0.25]' info:) == 1 ]]
}

# quit_cleanly SECONDS : Ctrl+Q; the app must be gone within SECONDS, with status 0.
quit_cleanly() {
    xdotool windowfocus --sync "$E2E_WIN" key ctrl+q
    poll "$1" eval '! app_alive' || e2e_fail "the app did not exit within $1 s"
    e2e_stop "$E2E_APP" || e2e_fail "the app exited with status $?"
}
