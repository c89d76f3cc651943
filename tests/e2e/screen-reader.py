"""Drives the app as a screen reader user would, through the accessibility bus alone: finds the
controls by role and name, chooses "one shot" and presses "start" with their actions, checks
the states the user is told (stop enabled, the indicator showing), presses "stop" and reads the
donation message from the message box. Exit status 1, saying what went wrong, on any failure."""
import sys
import time

import pyatspi

DONATION = [
    "Thanks for listening to this larkspool.",
    "If you enjoyed it and would like to make a donation of 49p (\u00a30.49) then please visit",
    "larkspool.example.org/qvweb/qvpayment.html",
    "Thank you.",
]


def walk(acc):
    yield acc
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def wait_for(what, test, seconds=10):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = test()
        if found:
            return found
        time.sleep(0.05)
    raise AssertionError(f"timed out waiting for {what}")


def the_app():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "larkspool8":
            return app
    return None


def find(app, role, name):
    for acc in walk(app):
        if acc.getRoleName() == role and acc.name == name:
            return acc
    return None


def has(acc, state):
    return acc.getState().contains(state)


def act(acc, action):
    actions = acc.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    if action not in names:
        raise AssertionError(f"{acc.getRoleName()} {acc.name!r} offers {names}, not {action}")
    actions.doAction(names.index(action))


def main():
    app = wait_for("the app on the accessibility bus", the_app)
    frame = wait_for("the window", lambda: find(app, "frame", "Larkspool 8"))
    controls = {}
    for role, name in [("radio button", "looped 1"), ("radio button", "one shot"),
                       ("radio button", "looped 2"), ("push button", "start"),
                       ("push button", "stop"), ("animation", "performance playing")]:
        controls[name] = find(frame, role, name)
        if controls[name] is None:
            raise AssertionError(f"no {role} named {name!r}")
    start, stop, busy = controls["start"], controls["stop"], controls["performance playing"]
    assert has(controls["looped 1"], pyatspi.STATE_CHECKED), "looped 1 is not told as chosen"
    assert has(start, pyatspi.STATE_ENABLED), "start is not told as enabled"
    assert not has(stop, pyatspi.STATE_ENABLED), "stop is told as enabled while idle"
    assert not has(busy, pyatspi.STATE_SHOWING), "the indicator is told as showing while idle"

    act(controls["one shot"], "Toggle")
    wait_for("one shot chosen", lambda: has(controls["one shot"], pyatspi.STATE_CHECKED))
    assert not has(controls["looped 1"], pyatspi.STATE_CHECKED), "two modes told as chosen"
    act(start, "Press")
    wait_for("stop enabled", lambda: has(stop, pyatspi.STATE_ENABLED))
    wait_for("the indicator shown", lambda: has(busy, pyatspi.STATE_SHOWING))
    assert not has(start, pyatspi.STATE_ENABLED), "start is told as enabled while playing"
    assert not has(controls["looped 1"], pyatspi.STATE_ENABLED), "looped 1 enabled while playing"
    assert has(controls["one shot"], pyatspi.STATE_ENABLED), "the playing mode's button greyed"

    act(stop, "Press")

    def message_text():
        for acc in walk(app):
            if acc.getRoleName() == "label" and acc.name.startswith(DONATION[0]):
                return acc.name
        return None

    text = wait_for("the donation message", message_text)
    if text.split("\n") != DONATION:
        raise AssertionError(f"the message reads {text!r}")
    wait_for("the idle states", lambda: has(start, pyatspi.STATE_ENABLED) and not has(
        stop, pyatspi.STATE_ENABLED) and not has(busy, pyatspi.STATE_SHOWING))
    ok = wait_for("the message's OK button", lambda: find(app, "push button", "OK"))
    act(ok, "Press")
    wait_for("the message gone", lambda: message_text() is None)
    print("the screen reader found every control, drove a performance and read the message")


if __name__ == "__main__":
    try:
        main()
    except AssertionError as e:
        print(f"screen reader: {e}")
        sys.exit(1)
