#!/usr/bin/python3
"""Figures of one run-figures run: CPU, wakeups and RSS per phase, onset spacing errors and the
time from each click on start to the first sound, from the recording of the sink's monitor.

Usage: figures.py CLIPDIR RECORDING MARKS CPU
"""

import importlib.util
import sys
from pathlib import Path

import numpy as np

here = Path(__file__).resolve().parent
found = importlib.util.spec_from_file_location(
    "analyse", here.parent.parent / "tests" / "e2e" / "analyse-recording.py")
analyse = importlib.util.module_from_spec(found)
found.loader.exec_module(analyse)
RATE = analyse.RATE


def spread(values):
    """How many spacings hold the step to within 2 samples, and the spread of all of them.
    A clip the search missed (the quiet pause clip under hiss) makes one spacing a whole
    step long: the largest values say so."""
    if not values:
        return "-"
    v = np.array(values)
    within = int(np.sum(np.abs(v) <= 2))
    return (f"{within}/{len(v)} within ±2; median {np.median(v):+.0f}, "
            f"p90 {np.percentile(v, 90):+.0f}, min {v.min():+d}, max {v.max():+d}")


def mode_gap(mode, a, b):
    """How much longer than a's step the mode holds before b: looped 1 sounds its beep no
    sooner than a second after the cycle's last event, and the next cycle a second after it."""
    if mode != "looped1":
        return 0
    if b == "beep":
        return max(0, RATE - analyse.step(a))
    return RATE - analyse.step(a) if a == "beep" else 0


def pieces(x, quiet=100, pad=200):
    """Splits a recording at stretches where nothing sounds (exact zeros: every clip carries
    hiss), so that each piece holds a few whole clips and the search stays fast. Yields each
    piece's offset and samples."""
    sounding = np.flatnonzero(x != 0.0)
    if not len(sounding):
        return
    gaps = np.flatnonzero(np.diff(sounding) > quiet)
    starts = np.concatenate(([sounding[0]], sounding[gaps + 1]))
    ends = np.concatenate((sounding[gaps] + 1, [sounding[-1] + 1]))
    for a, b in zip(starts, ends):
        lo, hi = max(0, a - pad), min(len(x), b + pad)
        yield lo, x[lo:hi]


def find(x, clips):
    found = []
    for offset, piece in pieces(x):
        part, _ = analyse.Pursuit(piece, clips).run()
        found += [(n, o + offset, m, g) for n, o, m, g in part]
    return sorted(found, key=lambda f: f[1])


def main():
    clip_dir, rec_path, marks_path, cpu_path = sys.argv[1:5]
    clips = analyse.load_clips(clip_dir)
    rec = np.fromfile(rec_path, dtype="<f4").astype(np.float64)
    marks = [(line.split()[0], int(line.split()[1]))
             for line in Path(marks_path).read_text().splitlines() if line.strip()]

    print("| phase | seconds | CPU, % of one core | wakeups/s, all threads | "
          "wakeups/s, output thread | RSS, MB |")
    print("|---|---|---|---|---|---|")
    for line in Path(cpu_path).read_text().splitlines():
        name, sec, cpu, sw, out, rss = line.split()
        print(f"| {name} | {sec} | {cpu} | {sw} | {out} | {int(rss) / 1024:.1f} |")
    print()

    played = set()
    print("| mode | clips | spacing minus step, clips played before (samples) | "
          "first plays (samples) | click to first sound (ms) |")
    print("|---|---|---|---|---|")
    for mode in ("oneshot", "looped1", "looped2"):
        clicks = [pos for name, pos in marks if name.startswith(f"click_{mode}_")]
        end = dict(marks)[f"end_{mode}"] + 4 * RATE
        repeats, firsts, starts, total = [], [], [], 0
        for i, click in enumerate(clicks):
            # Each click's performance: from the click to the next click (or the end).
            stop = clicks[i + 1] if i + 1 < len(clicks) else min(end, len(rec))
            found = find(rec[click:stop], clips)
            total += len(found)
            if not found:
                continue
            starts.append(found[0][1] / RATE * 1000)
            for a, b, deviation, first in analyse.spacings(found, played):
                deviation -= mode_gap(mode, a, b)
                (firsts if first else repeats).append(deviation)
        print(f"| {mode} | {total} | {spread(repeats)} | {spread(firsts)} | "
              + ", ".join(f"{s:.1f}" for s in starts) + " |")


if __name__ == "__main__":
    main()
