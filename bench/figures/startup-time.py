#!/usr/bin/python3
"""Start-up time: from exec of the app to its window being mapped on the X server.

Usage: startup-time.py RUNS APP [ENV=VALUE...]   (DISPLAY must name a running X server)

Watches the root window for MapNotify before starting the app, so the moment is the server's
own, not a poll's. Each run ends the app again with SIGTERM. Prints one line per run and the
median, in milliseconds. A figure for benchmarks, not a test: it asserts nothing.
"""

import ctypes
import os
import select
import signal
import statistics
import subprocess
import sys
import time

TITLE = b"Larkspool 8"
MAP_NOTIFY = 19
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19


class XMapEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("event", ctypes.c_ulong), ("window", ctypes.c_ulong),
                ("override_redirect", ctypes.c_int)]


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xmap", XMapEvent), ("pad", ctypes.c_long * 24)]


def open_x():
    x = ctypes.CDLL("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x.XDefaultRootWindow.restype = ctypes.c_ulong
    x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
    x.XConnectionNumber.argtypes = [ctypes.c_void_p]
    x.XPending.argtypes = [ctypes.c_void_p]
    x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(XEvent)]
    x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                             ctypes.POINTER(ctypes.c_char_p)]
    x.XFlush.argtypes = [ctypes.c_void_p]
    dpy = x.XOpenDisplay(None)
    if not dpy:
        raise SystemExit("cannot open the display")
    x.XSelectInput(dpy, x.XDefaultRootWindow(dpy), SUBSTRUCTURE_NOTIFY_MASK)
    x.XFlush(dpy)
    return x, dpy


def wait_mapped(x, dpy, deadline):
    """Seconds on the monotonic clock at which a window titled TITLE was mapped."""
    fd = x.XConnectionNumber(dpy)
    event = XEvent()
    while time.monotonic() < deadline:
        if not x.XPending(dpy):
            select.select([fd], [], [], 0.05)
            continue
        x.XNextEvent(dpy, ctypes.byref(event))
        if event.type != MAP_NOTIFY:
            continue
        seen = time.monotonic()
        name = ctypes.c_char_p()
        if x.XFetchName(dpy, event.xmap.window, ctypes.byref(name)) and name.value == TITLE:
            return seen
    raise SystemExit("the window did not appear")


def main():
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    runs, app = int(sys.argv[1]), sys.argv[2]
    env = dict(arg.split("=", 1) for arg in sys.argv[3:])
    env.setdefault("DISPLAY", os.environ["DISPLAY"])
    x, dpy = open_x()
    times = []
    for run in range(runs):
        start = time.monotonic()
        proc = subprocess.Popen([app], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        mapped = wait_mapped(x, dpy, start + 10)
        times.append((mapped - start) * 1000)
        print(f"run {run + 1}: {times[-1]:.1f} ms")
        proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=5)
    print(f"median of {runs}: {statistics.median(times):.1f} ms")


if __name__ == "__main__":
    main()
