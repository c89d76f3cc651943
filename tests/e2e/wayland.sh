#!/usr/bin/env bash
# The app on a Wayland desktop with no X server: a headless Weston and Qt's Wayland platform. A
# one shot, chosen and started through the accessibility bus (xdotool has no say on Wayland),
# is heard whole, the donation message it ends with is read there, and Quit in the menu ends
# the app with status 0.
# Usage: wayland.sh APP CLIPDIR ARTIFACT_DIR
source "$(dirname "$0")/lib.sh"

e2e_begin "$3"
start_sound_server
start_recorder "$E2E_ART/recording.f32"
start_accessibility_bus
dir=$(mktemp -d "$E2E_TMP/weston.XXXXXX")
HOME=$dir XDG_RUNTIME_DIR=$dir spawn weston --backend=headless-backend.so --socket=wayland-e2e \
    --idle-time=0 > "$dir/weston.log" 2>&1
poll 10 test -S "$dir/wayland-e2e" || e2e_fail "Weston did not start: $(tail -n 3 "$dir/weston.log")"
unset DISPLAY
export WAYLAND_DISPLAY=$dir/wayland-e2e QT_QPA_PLATFORM=wayland
launch_app "$1"
/usr/bin/python3 "$E2E_HERE/screen-reader.py" one-shot "$E2E_REC" "$E2E_ART/marks.txt" ||
    e2e_fail "the screen reader could not play a one shot"
poll 5 eval '! app_alive' || e2e_fail "the app did not quit"
e2e_stop "$E2E_APP" || e2e_fail "the app exited with status $?"
e2e_stop "$E2E_RECORDER"
/usr/bin/python3 "$E2E_HERE/analyse-recording.py" --whole "$2" "$E2E_REC" "$E2E_ART/marks.txt" \
    > "$E2E_ART/analysis.txt" || e2e_fail "the one shot was not heard whole: $(grep '^FAIL' \
    "$E2E_ART/analysis.txt")"
e2e_log "passed"
