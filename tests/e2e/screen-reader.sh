#!/usr/bin/env bash
# The app through a screen reader's eyes: a private session bus and accessibility bus, the app
# with its accessibility on, and a client that finds and drives the controls by role and name.
# Usage: screen-reader.sh APP ARTIFACT_DIR
set -uo pipefail

app=$1 art=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

e2e_begin "$art"
start_x && start_sound_server && start_accessibility_bus || exit 1
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
launch_app "$app" "$art/app-stderr.txt"
wait_main_window 10 || exit 1
/usr/bin/python3 "$here/screen-reader.py" 2>&1 | tee -a "$E2E_LOG"
((PIPESTATUS[0] == 0)) || e2e_fail "the screen reader could not use the app" || exit 1
screenshot "$art/after.png"
quit_cleanly 5 || exit 1
e2e_log "passed"
