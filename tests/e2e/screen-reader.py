# Drives the app as a screen reader user would, through the accessibility bus alone: finds the
# controls by role and name, chooses "one shot" and presses "start" with their actions, checks
# the states the user is told (stop enabled, the indicator showing), presses "stop" and reads the
# donation message from the message box. Fails, saying what went wrong, on any difference.
import time
from pathlib import Path

import pyatspi

# The message's lines, as messages-readable.sh reads them off the screen.
LINES = Path(__file__).with_name("message-lines.txt").read_text(encoding="utf-8")
DONATION = LINES.split("[donation]\n")[1].split("\n[")[0].replace("=", "").strip().split("\n")
CONTROLS = {"looped 1": "radio button", "one shot": "radio button", "looped 2": "radio button",
            "start": "push button", "stop": "push button", "performance playing": "animation"}


def walk(acc):
    yield acc
    for i in range(acc.childCount):
        if (child := acc.getChildAtIndex(i)) is not None:
            yield from walk(child)


def wait_for(what, test, why=lambda: ""):
    deadline = time.monotonic() + 10
    while not (found := test()):
        assert time.monotonic() < deadline, f"timed out waiting for {what}{why()}"
        time.sleep(0.05)
    return found


def find(root, role, name):
    return next((a for a in walk(root) if a.getRoleName() == role and a.name == name), None)


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
                 if a.getRoleName() == "label" and a.name.startswith(DONATION[0])), None)


app = wait_for("the app on the accessibility bus", lambda: next(
    (a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "larkspool8"), None))
frame = wait_for("the window", lambda: find(app, "frame", "Larkspool 8"))
controls = {name: find(frame, role, name) for name, role in CONTROLS.items()}
assert None not in controls.values(), f"controls missing: {controls}"
idle = ("start enabled", "not stop enabled", "not performance playing showing")
told("the idle states", controls, "looped 1 checked", *idle)
act(controls["one shot"], "Toggle")
told("one shot chosen", controls, "one shot checked", "not looped 1 checked")
act(controls["start"], "Press")
told("the playing states", controls, "stop enabled", "performance playing showing",
     "not start enabled", "not looped 1 enabled", "one shot enabled")
act(controls["stop"], "Press")
text = wait_for("the donation message", lambda: message_text(app))
assert text.split("\n") == DONATION, f"the message reads {text!r}"
told("the idle states after stop", controls, *idle)
act(wait_for("the message's OK button", lambda: find(app, "push button", "OK")), "Press")
wait_for("the message gone", lambda: message_text(app) is None)
print("the screen reader found every control, drove a performance and read the message")
