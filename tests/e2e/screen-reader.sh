#!/usr/bin/env bash
# The app through a screen reader's eyes: a private session bus and accessibility bus, the app
# with its accessibility on, and a client that finds and drives the controls by role and name.
# Usage: screen-reader.sh APP ARTIFACT_DIR
source "$(dirname "$0")/lib.sh"

e2e_begin "$2"
start_x
start_sound_server
# A session bus with the accessibility bus on it, as a desktop session has; the accessibility
# registry starts on demand.
dir=$(mktemp -d "$E2E_TMP/a11y.XXXXXX")
start_session_bus "$dir"
HOME=$dir XDG_RUNTIME_DIR=$dir /usr/libexec/at-spi-bus-launcher --launch-immediately \
    > "$dir/a11y-bus.log" 2>&1 &
poll 10 dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
    org.a11y.Bus.GetAddress || e2e_fail "the accessibility bus did not start"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
launch_app "$1"
/usr/bin/python3 "$E2E_HERE/screen-reader.py" || e2e_fail "the screen reader could not use the app"
quit_cleanly 5
e2e_log "passed"
