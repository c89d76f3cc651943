#!/usr/bin/env bash
# Both messages as a person reads them: the About box opened from the menu with the mouse, the
# donation message after start and stop, each photographed and read back with OCR, at the
# normal scale and at QT_SCALE_FACTOR=2 on a 1024x768 screen. Every line of the two messages
# must be read whole, the addresses each on a line of their own.
# Usage: messages-readable.sh APP ARTIFACT_DIR
set -uo pipefail

app=$1 art=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

# read_box MESSAGE : waits for the box, photographs its window alone once it has painted, reads
# the photograph against the message's lines, and closes the box. Returns 1 when a line could
# not be read; gives up (2) when there was no box to read.
read_box() {
    local shot=$art/$1-x$E2E_SCALE.png
    wait_message_box 5 || { e2e_fail "no $1 box at scale $E2E_SCALE"; return 2; }
    sleep 0.5
    import -display "$DISPLAY" -window "$E2E_MSG" "$shot" 2>> "$E2E_LOG" ||
        { e2e_fail "could not photograph the $1 box"; return 2; }
    /usr/bin/python3 "$here/read-text.py" "$shot" "$here/message-lines.txt" "$1"
    local read=$?
    dismiss_message_box || return 2
    return $read
}

# open_about : the first menu's title, then its first item, clicked with the mouse.
open_about() {
    xdotool mousemove --window "$E2E_WIN" $((30 * E2E_SCALE)) $((E2E_Y0 / 2)) click 1
    sleep 0.3
    xdotool mousemove --window "$E2E_WIN" $((60 * E2E_SCALE)) $((E2E_Y0 + 10 * E2E_SCALE)) click 1
}

e2e_begin "$art"
start_x && start_sound_server || exit 1

failed=0
for scale in 1 2; do
    export QT_SCALE_FACTOR=$scale
    launch_app "$app" "$art/app-stderr-$scale.txt"
    wait_main_window 10 || exit 1

    open_about
    read_box about
    case $? in 0) ;; 1) failed=1 ;; *) exit 1 ;; esac

    click_start
    sleep 0.5
    click_stop
    read_box donation
    case $? in 0) ;; 1) failed=1 ;; *) exit 1 ;; esac

    quit_cleanly 5 || exit 1
done
((failed == 0)) || e2e_fail "a message could not be read in full" || exit 1
e2e_log "passed"
