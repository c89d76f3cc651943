#!/usr/bin/env bash
# The sound server dies in the middle of a looped performance: the app keeps running, idles
# as before (no spinning on a dead stream), answers "stop" and "start", and quits cleanly.
# Usage: sound-server-killed.sh APP ARTIFACT_DIR
set -uo pipefail

app=$1 art=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

CPU_WINDOW=3      # seconds over which CPU use is measured
CPU_MAX_PERCENT=10

# cpu_percent : the app's CPU use over CPU_WINDOW seconds, in percent of one core.
cpu_percent() {
    local a b
    a=$(cpu_ticks "$E2E_APP")
    sleep $CPU_WINDOW
    b=$(cpu_ticks "$E2E_APP")
    echo $(((b - a) * 100 / ($(getconf CLK_TCK) * CPU_WINDOW)))
}

# loudest SAMPLES : peak level of the recording's last SAMPLES samples, in per mille.
loudest() {
    /usr/bin/python3 -c '
import sys, numpy as np
x = np.fromfile(sys.argv[1], dtype="<f4")[-int(sys.argv[2]):]
print(int(1000 * float(np.max(np.abs(x)))) if len(x) else 0)' "$E2E_REC" "$1"
}

expect_message() {
    wait_message_box 5 || e2e_fail "no message box after \"stop\"" || return 1
    dismiss_message_box
}

e2e_begin "$art"
start_x && start_sound_server && start_recorder "$art/recording.f32" || exit 1
launch_app "$app" "$art/app-stderr.txt"
wait_main_window 10 || exit 1

click_looped2
click_start
before=$(cpu_percent)
e2e_log "CPU while playing: $before %"
level=$(loudest $((3 * E2E_RATE)))
((level > 100)) || e2e_fail "the performance was not heard before the kill (peak $level/1000)" ||
    exit 1

stop_recorder
kill_sound_server
sleep 1
app_alive || e2e_fail "the app died with the sound server" || exit 1
after=$(cpu_percent)
e2e_log "CPU after the sound server died: $after %"
((after < CPU_MAX_PERCENT)) ||
    e2e_fail "the app uses $after % of a core without its sound server" || exit 1

click_stop
expect_message || exit 1
click_start
sleep 1
click_stop
expect_message || exit 1

press_quit
wait_app_exit 2 || exit 1
((E2E_APP_RC == 0)) || e2e_fail "the app exited with status $E2E_APP_RC" || exit 1
e2e_log "stderr: $(head -c 2000 "$art/app-stderr.txt")"
e2e_log "passed"
