#!/usr/bin/env bash
# The app through a screen reader's eyes: a private session bus and accessibility bus, the app
# with its accessibility on, and a client that finds and drives the controls by role and name
# through a one shot, which the recording must hold whole, and its message. On X, or with
# E2E_PLATFORM=wayland on Wayland with no X server at all (a headless Weston, Qt's Wayland
# platform), where the accessibility bus is how a test gets in.
# Usage: screen-reader.sh APP CLIPDIR ARTIFACT_DIR
source "$(dirname "$0")/lib.sh"

e2e_begin "$3"
start_sound_server
start_recorder "$E2E_ART/recording.f32"
start_accessibility_bus
if [[ ${E2E_PLATFORM:-} == wayland ]]; then
    dir=$(mktemp -d "$E2E_TMP/weston.XXXXXX")
    HOME=$dir XDG_RUNTIME_DIR=$dir spawn weston --backend=headless-backend.so \
        --socket=wayland-e2e --idle-time=0 > "$dir/weston.log" 2>&1
    poll 10 test -S "$dir/wayland-e2e" || e2e_fail "Weston did not start"
    export WAYLAND_DISPLAY=$dir/wayland-e2e QT_QPA_PLATFORM=wayland
else
    start_x
fi
launch_app "$1"
/usr/bin/python3 "$E2E_HERE/screen-reader.py" "$E2E_REC" "$E2E_ART/marks.txt" ||
    e2e_fail "the screen reader could not use the app"
poll 5 eval '! app_alive' || e2e_fail "the app did not quit"
e2e_stop "$E2E_APP" || e2e_fail "the app exited with status $?"
e2e_stop "$E2E_RECORDER"
/usr/bin/python3 "$E2E_HERE/analyse-recording.py" --whole "$2" "$E2E_REC" "$E2E_ART/marks.txt" \
    > "$E2E_ART/analysis.txt" || e2e_fail "not heard whole: $(grep '^FAIL' "$E2E_ART/analysis.txt")"
e2e_log "passed"
