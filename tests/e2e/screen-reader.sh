#!/usr/bin/env bash
# The app through a screen reader's eyes: a private session bus and accessibility bus, the app
# with its accessibility on, and a client that finds and drives the controls by role and name.
# Usage: screen-reader.sh APP ARTIFACT_DIR
source "$(dirname "$0")/lib.sh"

e2e_begin "$2"
start_x
start_sound_server
start_accessibility_bus
launch_app "$1"
/usr/bin/python3 "$E2E_HERE/screen-reader.py" || e2e_fail "the screen reader could not use the app"
quit_cleanly 5
e2e_log "passed"
