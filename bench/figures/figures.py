#!/usr/bin/python3
"""Figures of one run-figures run: CPU, wakeups and RSS per phase; from the recording of the
sink's monitor and the app's trace of its Plays, how far every onset is from where its Play's
stamp puts it, how late the steps ran, and the time from each click on start to the first sound.

Usage: figures.py [--row LABEL] CLIPDIR RECORDING MARKS CPU TRACE
With --row, one line for the headline table instead of the tables of the run.
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


def spread(values, unit=""):
    """How many are within 2 (samples) of 0, and their median, p99 and extremes."""
    if not values:
        return "-"
    v = np.array(values)
    return (f"{int(np.sum(np.abs(v) <= 2))}/{len(v)} within ±2; median {np.median(v):+.0f}, "
            f"p99 {np.percentile(v, 99):+.0f}, min {v.min():+.0f}, max {v.max():+.0f}{unit}")


def late_spread(values):
    if not values:
        return "-"
    v = np.array(values)
    return (f"p50 {np.percentile(v, 50):.0f}, p99 {np.percentile(v, 99):.0f}, "
            f"max {v.max():.0f}")


def mode_gap_us(mode, a, b):
    """How much longer than a's step the mode holds before b: looped 1 sounds its beep no
    sooner than a second after the cycle's last Play, and the next cycle a second after it."""
    if mode != "looped1":
        return 0
    if b == "beep" or a == "beep":
        return max(0, 1_000_000 - analyse.STEP_US[a])
    return 0


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
    heard = []
    for offset, piece in pieces(x):
        part, _ = analyse.Pursuit(piece, clips).run()
        heard += [(n, o + offset, m, g) for n, o, m, g in part]
    return sorted(heard, key=lambda f: f[1])


def main():
    args = sys.argv[1:]
    row = args[1] if args[0] == "--row" else None
    args = args[2:] if row else args
    clip_dir, rec_path, marks_path, cpu_path, trace_path = args[:5]
    clips = analyse.load_clips(clip_dir)
    rec = np.fromfile(rec_path, dtype="<f4").astype(np.float64)
    marks = [(line.split()[0], int(line.split()[1]))
             for line in Path(marks_path).read_text().splitlines() if line.strip()]
    plays, accounts = analyse.load_trace(trace_path)

    cpu = {line.split()[0]: line.split() for line in Path(cpu_path).read_text().splitlines()}
    out = print if not row else (lambda *a, **k: None)
    out("| phase | seconds | CPU, % of one core | wakeups/s, all threads | "
        "wakeups/s, output thread | RSS, MB |")
    out("|---|---|---|---|---|---|")
    for name, sec, percent, sw, output, rss in cpu.values():
        out(f"| {name} | {sec} | {percent} | {sw} | {output} | {int(rss) / 1024:.1f} |")
    out()

    out("| mode | clips | onset minus its stamp's place, against the clip before (samples) | "
        "steps late (µs) | click to first sound (ms) |")
    out("|---|---|---|---|---|")
    taken, every_off, every_late, every_start, every_vs_step = 0, [], [], [], []
    for mode in ("oneshot", "looped1", "looped2"):
        clicks = [pos for name, pos in marks if name.startswith(f"click_{mode}_")]
        end = dict(marks)[f"end_{mode}"] + 4 * RATE
        off, late, starts, total, vs_step = [], [], [], 0, []
        for i, click in enumerate(clicks):
            # Each click's performance: from the click to the next click (or the end).
            stop = clicks[i + 1] if i + 1 < len(clicks) else min(end, len(rec))
            heard = find(rec[click:stop], clips)
            mine = plays[taken : taken + len(heard)]
            taken += len(heard)
            total += len(heard)
            if not heard or [h[0] for h in heard] != [p[0] for p in mine]:
                out(f"| {mode} | the clips heard are not those played after click {i} |||")
                continue
            starts.append(heard[0][1] / RATE * 1000)
            for k in range(1, len(heard)):
                stamped = (mine[k][1] - mine[k - 1][1]) * RATE / 1e6
                off.append(heard[k][1] - heard[k - 1][1] - round(stamped))
                late.append(mine[k][1] - mine[k - 1][1] - analyse.STEP_US[mine[k - 1][0]]
                            - mode_gap_us(mode, mine[k - 1][0], mine[k][0]))
                vs_step.append((heard[k][1] - heard[k - 1][1]) / RATE * 1e6
                               - analyse.STEP_US[mine[k - 1][0]]
                               - mode_gap_us(mode, mine[k - 1][0], mine[k][0]))
        out(f"| {mode} | {total} | {spread(off)} | {late_spread(late)} | "
            + ", ".join(f"{s:.1f}" for s in starts) + " |")
        every_off += off
        every_late += late
        every_vs_step += vs_step
        every_start += starts
    out()
    out("accounts: " + ", ".join(f"{k} {v}" for k, v in accounts.items()))
    if row:
        v = np.abs(np.array(every_off or [0]))
        print(f"| {row} | {cpu['idle'][2]} | {cpu['oneshot'][2]} / {cpu['looped1'][2]} / "
              f"{cpu['looped2'][2]} | {int(np.sum(v <= 2))}/{len(every_off)}, max {v.max():.0f} | "
              f"{late_spread(every_late)} | {late_spread(every_vs_step)} | "
              f"{np.median(every_start or [0]):.0f} | "
              f"{accounts.get('late', '-')} of {accounts.get('placed', '-')} |")


if __name__ == "__main__":
    main()
