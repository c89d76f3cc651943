#!/usr/bin/env bash
# Both messages as a person reads them: the About box opened from the menu with the mouse, the
# donation message after start and stop, each photographed and read back with OCR, at the
# normal scale and at QT_SCALE_FACTOR=2 on a 1024x768 screen. Every line of the two messages
# must be read whole, the addresses each on a line of their own.
# Usage: messages-readable.sh APP ARTIFACT_DIR
source "$(dirname "$0")/lib.sh"

# read_box MESSAGE : photographs the box's window alone once it has painted, and reads the
# photograph against the message's lines.
read_box() {
    local shot=$E2E_ART/$1-x$E2E_SCALE.png
    sleep 0.5
    import -display "$DISPLAY" -window "$E2E_MSG" "$shot" 2>> "$E2E_LOG" ||
        e2e_fail "could not photograph the $1 box"
    /usr/bin/python3 "$E2E_HERE/read-text.py" "$shot" "$E2E_HERE/message-lines.txt" "$1" ||
        e2e_fail "the $1 box could not be read in full at scale $E2E_SCALE"
}

e2e_begin "$2"
start_x
start_sound_server
for scale in 1 2; do
    export QT_SCALE_FACTOR=$scale
    launch_app "$1" "$E2E_ART/app-stderr-$scale.txt"
    # The first menu's title, then its first item, clicked with the mouse.
    xdotool mousemove --window "$E2E_WIN" $((30 * E2E_SCALE)) $((E2E_Y0 / 2)) click 1
    sleep 0.3
    xdotool mousemove --window "$E2E_WIN" $((60 * E2E_SCALE)) $((E2E_Y0 + 10 * E2E_SCALE)) click 1
    close_message 5 "about at scale $scale" read_box about
    click start
    sleep 0.5
    press_stop "at scale $scale" read_box donation
    quit_cleanly 5
done
e2e_log "passed"
