#!/usr/bin/env bash
# Ctrl+Q in the middle of a performance, 20 times, the three modes in turn and at different
# moments: every time the app is gone within 1 s, with status 0 and nothing on stderr (no
# crash, assertion or complaint on the way out; a busy machine's underrun notice aside).
# Usage: quit-mid-performance.sh APP ARTIFACT_DIR
set -uo pipefail

app=$1 art=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

RUNS=20
modes=(looped1 oneshot looped2)

e2e_begin "$art"
start_x && start_sound_server || exit 1

failed=0
for ((run = 0; run < RUNS; run++)); do
    mode=${modes[run % 3]}
    # Between 0.2 and 1.9 s into the performance, spread over the runs.
    delay_ms=$((200 + run * 370 % 1700))
    err=$art/app-stderr-$run.txt
    launch_app "$app" "$err"
    wait_main_window 10 || exit 1
    "click_$mode"
    click_start
    sleep "$(awk -v ms=$delay_ms 'BEGIN { print ms / 1000 }')"
    app_alive || e2e_fail "run $run: the app died during $mode" || exit 1
    press_quit
    t0=$(now_us)
    wait_app_exit 1 || exit 1
    took=$((($(now_us) - t0) / 1000))
    e2e_log "run $run: $mode, quit after $delay_ms ms, gone in $took ms, status $E2E_APP_RC"
    if ((E2E_APP_RC != 0)) || app_complaints "$err" | grep -q .; then
        e2e_log "run $run failed: status $E2E_APP_RC, stderr: $(head -c 2000 "$err")"
        failed=$((failed + 1))
    fi
    sound_server_alive || e2e_fail "the sound server died" || exit 1
done
((failed == 0)) || e2e_fail "$failed of $RUNS quits were not clean" || exit 1
e2e_log "passed"
