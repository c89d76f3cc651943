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

# photograph_box NAME : the open message box's window alone, once it has painted.
photograph_box() {
    sleep 0.5
    import -display "$DISPLAY" -window "$E2E_MSG" "$art/$1.png" 2>> "$E2E_LOG" ||
        e2e_fail "could not photograph the $1 box"
}

read_box() { /usr/bin/python3 "$here/read-text.py" "$art/$1.png" "$here/message-lines.txt" "$2"; }

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
    wait_message_box 5 || e2e_fail "no About box at scale $scale" || exit 1
    photograph_box "about-x$scale" || exit 1
    read_box "about-x$scale" about || failed=1
    dismiss_message_box || exit 1

    click_start
    sleep 0.5
    click_stop
    wait_message_box 5 || e2e_fail "no donation message at scale $scale" || exit 1
    photograph_box "donation-x$scale" || exit 1
    read_box "donation-x$scale" donation || failed=1
    dismiss_message_box || exit 1

    press_quit
    wait_app_exit 5 || exit 1
done
((failed == 0)) || e2e_fail "a message could not be read in full" || exit 1
e2e_log "passed"
