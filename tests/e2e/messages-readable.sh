#!/usr/bin/env bash
# Both messages as a person reads them: the About box opened from the menu with the mouse, the
# donation message after start and stop, each photographed and read back with OCR, at the
# normal scale and at QT_SCALE_FACTOR=2 on a 1024x768 screen. Every line of the two messages
# must be read whole, the addresses each on a line of their own.
# Usage: messages-readable.sh APP ARTIFACT_DIR
source "$(dirname "$0")/lib.sh"

# read_box MESSAGE : photographs the box's window alone and reads the photograph against the
# message's lines; a box still painting reads short, so again until it reads whole.
read_box() {
    local shot=$E2E_ART/$1-x$E2E_SCALE.png
    poll 15 photograph_and_read "$shot" "$1" || e2e_fail "the $1 box could not be read in full at \
scale $E2E_SCALE: $(photograph_and_read "$shot" "$1" 2>&1)"
}
photograph_and_read() {
    import -display "$DISPLAY" -window "$E2E_MSG" "$1" &&
        /usr/bin/python3 "$E2E_HERE/read-text.py" "$1" "$E2E_HERE/message-lines.txt" "$2"
}
# A window of the app's besides the main window shows: the menu.
menu_open() { xdotool search --onlyvisible --pid "$E2E_APP" | grep -qvx "$E2E_WIN"; }

e2e_begin "$2"
start_x
start_sound_server
for scale in 1 2; do
    export QT_SCALE_FACTOR=$scale
    launch_app "$1" "$E2E_ART/app-stderr-$scale.txt"
    # The first menu's title, then its first item, clicked with the mouse.
    xdotool mousemove --window "$E2E_WIN" $((30 * E2E_SCALE)) $((E2E_Y0 / 2)) click 1
    poll 5 menu_open || e2e_fail "the menu did not open at scale $scale"
    xdotool mousemove --window "$E2E_WIN" $((60 * E2E_SCALE)) $((E2E_Y0 + 10 * E2E_SCALE)) click 1
    close_message 5 "about at scale $scale" read_box about
    click start
    poll 5 enabled stop || e2e_fail "\"stop\" not enabled after \"start\" at scale $scale"
    press_stop "at scale $scale" read_box donation
    quit_cleanly 5
done
e2e_log "passed"
