#!/usr/bin/python3
# Checks that what the sound server received is, sample for sample, what the piece meant to play:
# a recording of the live app against a render of the same seed and mode.
#
# Usage: compare-render.py CLIPDIR RECORDING MARKS LIVE_TRACE [MODE RENDER RENDER_TRACE]... > REPORT
#
# MARKS has "<mode>_start" and "<mode>_end" recording positions around each performance; the live
# trace holds the Plays of all of them, in order. For each mode:
# - the clips heard are the render's, in the render's order (a looped render stopped at its time
#   may hold one Play more or less than the live one stopped by a click);
# - each onset is where the render puts it, shifted by the lateness of the steps before it as the
#   live trace reports them: the live stamps. To the sample: one sub-sample phase for the whole
#   performance must place every onset on the frame the app rounds its stamp to;
# - the render is exactly its clips at its own stamps, and the recording is exactly the same
#   clips at the live onsets: after that alignment, what is left of the recording is at least
#   60 dB below it.
# Exits 1 when a check fails.

import importlib
import sys

import numpy as np

analyse = importlib.import_module("analyse-recording")  # beside this script, on its path
RATE, check, report = analyse.RATE, analyse.check, analyse.report
SNR_MIN_DB = 60


def frames(us):
    return np.asarray(us, dtype=np.float64) * RATE / 1e6


def phase_fit(onsets, stamps_us):
    """The sub-sample phase that best puts every onset, relative to the first, on the frame the
    app rounds its stamp to; and the largest miss in samples at that phase."""
    exact = frames(stamps_us)
    relative = np.asarray(onsets) - onsets[0]
    best = None
    for c in np.linspace(0.0, 1.0, 2001)[:-1]:
        rounded = np.floor(exact + c + 0.5)
        miss = int(np.max(np.abs(relative - (rounded - rounded[0]))))
        if best is None or miss < best[1]:
            best = (c, miss)
    return best


def mixed(clips, placed, length):
    """The clips at their onsets, summed and clipped as the output does."""
    out = np.zeros(length)
    for name, onset in placed:
        c = clips[name][: max(0, length - onset)]
        out[onset : onset + len(c)] += c
    return np.clip(out, -1.0, 1.0)


def db(residual, signal):
    return 10 * np.log10(max(np.sum(residual**2), 1e-30) / max(np.sum(signal**2), 1e-30))


def compare(mode, clips, segment, found, live, render_path, render_trace_path):
    rendered = analyse.decode(render_path)
    render_plays, _ = analyse.load_trace(render_trace_path)
    report.append(f"{mode}: {len(found)} clips heard, {len(live)} played live, "
                  f"{len(render_plays)} in the render")
    names = [f[0] for f in found]
    check(names == [p[0] for p in live], f"{mode}: the clips heard are those the app played")
    n = min(len(live), len(render_plays))
    check(abs(len(live) - len(render_plays)) <= (0 if mode == "oneshot" else 1)
          and [p[0] for p in live[:n]] == [p[0] for p in render_plays[:n]],
          f"{mode}: the render plays the same clips in the same order")
    if not found or names != [p[0] for p in live]:
        return
    # Where the render puts each onset, plus the lateness of the steps before it, is where the
    # live stamp puts it: (r_i - r_0) + (lateness) = (t_i - t_0).
    late = [(t - live[0][1]) - (r - render_plays[0][1]) for (_, t), (_, r) in
            zip(live[:n], render_plays[:n])]
    report.append(f"  {mode} lateness of the steps before each onset, us: "
                  f"{[round(x) for x in late]}")
    onsets = [f[1] for f in found]
    phase, miss = phase_fit(onsets, [p[1] for p in live])
    check(miss == 0, f"{mode}: every onset on the frame its stamp rounds to (largest miss "
          f"{miss} samples, phase {phase:.4f})")
    # The render is its clips at its stamps, exactly: its first Play sounds at frame 0.
    r0 = render_plays[0][1]
    placed = [(name, int(np.round(frames(us - r0)))) for name, us in render_plays]
    own = mixed(clips, placed, len(rendered))
    check(db(rendered - own, own) <= -120, f"{mode}: the render is its clips at its stamps "
          f"({db(rendered - own, own):.0f} dB left)")
    # The recording is the same clips, each moved by the lateness before it.
    live_mix = mixed(clips, [(f[0], f[1]) for f in found], len(segment))
    left = db(segment - live_mix, segment)
    check(left <= -SNR_MIN_DB, f"{mode}: the recording is the render, aligned clip by clip "
          f"({left:.1f} dB left, at most -{SNR_MIN_DB})")


def main():
    clip_dir, rec_path, marks_path, live_path, *renders = sys.argv[1:]
    clips = analyse.load_clips(clip_dir)
    rec, marks = analyse.load_recording(rec_path, marks_path)
    live, accounts = analyse.load_trace(live_path)
    report.append("accounts: " + ", ".join(f"{k} {v}" for k, v in accounts.items()))
    check(accounts.get("late", 1) == 0 and accounts.get("dropped", 1) == 0,
          "no Play placed late or dropped")
    taken = 0
    for mode, render_path, trace_path in zip(renders[::3], renders[1::3], renders[2::3]):
        segment = rec[marks[f"{mode}_start"] : marks[f"{mode}_end"]]
        found, _ = analyse.Pursuit(segment, clips).run()
        compare(mode, clips, segment, found, live[taken : taken + len(found)], render_path,
                trace_path)
        taken += len(found)
    check(taken == len(live), f"every Play traced was heard ({taken} of {len(live)})")
    analyse.finish()


if __name__ == "__main__":
    main()
