#!/usr/bin/env bash
# The sound server dies in the middle of a performance and a new one starts, as when a user
# resets their audio: the next performance is heard through the new server, without
# restarting the app.
# Usage: sound-server-restarted.sh APP ARTIFACT_DIR
set -uo pipefail

app=$1 art=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

# loud : the recording holds sound (peak above a tenth of full scale).
loud() {
    /usr/bin/python3 -c '
import sys, numpy as np
x = np.fromfile(sys.argv[1], dtype="<f4")
sys.exit(0 if len(x) and np.max(np.abs(x)) > 0.1 else 1)' "$E2E_REC"
}

stop_and_dismiss() {
    click_stop
    wait_message_box 5 || e2e_fail "no message box after \"stop\"" || return 1
    dismiss_message_box
}

e2e_begin "$art"
start_x && start_sound_server && start_recorder "$art/before.f32" || exit 1
launch_app "$app" "$art/app-stderr.txt"
wait_main_window 10 || exit 1

click_looped2
click_start
# A draw may be the pause clip, silent for 2.84 s: wait until something sounds.
poll 10 loud || e2e_fail "the first performance was not heard" || exit 1

stop_recorder
kill_sound_server
sleep 1
app_alive || e2e_fail "the app died with the sound server" || exit 1
stop_and_dismiss || exit 1

restart_sound_server && start_recorder "$art/after.f32" || exit 1
click_start
poll 10 loud || e2e_fail "the performance after the restart was not heard" || exit 1
stop_and_dismiss || exit 1

quit_cleanly 2 || exit 1
stop_recorder
grep -q . "$art/app-stderr.txt" && e2e_log "app stderr: $(head -c 2000 "$art/app-stderr.txt")"
e2e_log "passed"
