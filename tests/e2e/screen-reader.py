# Drives the app as a screen reader user would, through the accessibility bus alone: finds the
# controls by role and name, chooses "one shot" and presses "start" with their actions, checks
# the states the user is told (stop enabled, the indicator showing, and once the performance
# ended by itself, stop still enabled and the indicator gone), reads the donation message it
# ends with and quits from the menu. Notes in MARKS where in RECORDING (raw 32-bit samples) the
# one shot started and where its message showed. Fails, saying what went wrong, on any
# difference.
# Usage: screen-reader.py RECORDING MARKS
import os
import sys
import time
from pathlib import Path

import pyatspi
from gi.repository import Atspi, GLib

# The message's lines, as messages-readable.sh reads them off the screen.
LINES = Path(__file__).with_name("message-lines.txt").read_text(encoding="utf-8")
DONATION = LINES.split("[donation]\n")[1].split("\n[")[0].replace("=", "").strip().split("\n")
# By role, not the role's name, which differs between releases ("push button" or "button").
CONTROLS = {"looped 1": pyatspi.ROLE_RADIO_BUTTON, "one shot": pyatspi.ROLE_RADIO_BUTTON,
            "looped 2": pyatspi.ROLE_RADIO_BUTTON, "start": pyatspi.ROLE_PUSH_BUTTON,
            "stop": pyatspi.ROLE_PUSH_BUTTON, "performance playing": pyatspi.ROLE_ANIMATION}


def walk(acc):
    yield acc
    for i in range(acc.childCount):
        if (child := acc.getChildAtIndex(i)) is not None:
            yield from walk(child)


def wait_for(what, test, why=lambda: "", seconds=10):
    # An object that vanishes while test() looks at it (a menu or box closing, a subtree the
    # toolkit rebuilds) spoils that look only: look again.
    deadline = time.monotonic() + seconds
    while True:
        try:
            if found := test():
                return found
        except GLib.GError as error:
            if "No such object path" not in str(error):
                raise
        assert time.monotonic() < deadline, f"timed out waiting for {what}{why()}"
        time.sleep(0.05)


def find(root, role, name):
    return next((a for a in walk(root) if a.getRole() == role and a.name == name), None)


def told(when, controls, *expected):
    # Waits until each "[not] CONTROL STATE" of `expected` is what the user is told.
    def wrong():
        return [e for e in expected if e.startswith("not ") == controls[
            e.removeprefix("not ").rsplit(" ", 1)[0]].getState().contains(
                getattr(pyatspi, "STATE_" + e.rsplit(" ", 1)[1].upper()))]
    wait_for(when, lambda: not wrong(), lambda: f": not told {wrong()}")


def act(acc, action):
    actions = acc.queryAction()
    actions.doAction([actions.getName(i) for i in range(actions.nActions)].index(action))


def message_text(app):
    return next((a.name for a in walk(app)
                 if a.getRole() == pyatspi.ROLE_LABEL and a.name.startswith(DONATION[0])), None)


def all_controls(frame):
    found = {name: find(frame, role, name) for name, role in CONTROLS.items()}
    return None if None in found.values() else found


def mark(name):
    with open(sys.argv[2], "a") as marks:
        marks.write(f"{name} {os.path.getsize(sys.argv[1]) // 4}\n")


app = wait_for("the app on the accessibility bus", lambda: next(
    (a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "larkspool8"), None))
# Every look asks the app: a cache fed by events may miss a window that came or went.
app.set_cache_mask(Atspi.Cache.NONE)
frame = wait_for("the window", lambda: find(app, pyatspi.ROLE_FRAME, "Larkspool 8"))
controls = wait_for("every control", lambda: all_controls(frame), lambda: ", missing: " + ", ".join(
    name for name, role in CONTROLS.items() if not find(frame, role, name)))
idle = ("start enabled", "not stop enabled", "not performance playing showing")
told("the idle states", controls, "looped 1 checked", *idle)
act(controls["one shot"], "Toggle")
told("one shot chosen", controls, "one shot checked", "not looped 1 checked")
mark("oneshot_start")
act(controls["start"], "Press")
told("the playing states", controls, "stop enabled", "performance playing showing",
     "not start enabled", "not looped 1 enabled", "one shot enabled")
# One look a turn at the app's windows while it plays, to take little from it.
wait_for("the message after the one shot", lambda: app.childCount > 1, seconds=30)
mark("oneshot_message")
told("the states once it ended", controls, "start enabled", "stop enabled", "looped 1 enabled",
     "not performance playing showing")
text = wait_for("the donation message", lambda: message_text(app), lambda: ", windows: " + str(
    [(w.getRoleName(), w.name) for w in app]))
assert text.split("\n") == DONATION, f"the message reads {text!r}"
act(wait_for("the OK button", lambda: find(app, pyatspi.ROLE_PUSH_BUTTON, "OK")), "Press")
wait_for("the message gone", lambda: message_text(app) is None)
act(wait_for("Quit in the menu", lambda: find(app, pyatspi.ROLE_MENU_ITEM, "Quit")), "Press")
print("the screen reader found every control, drove a one shot and read its message")
