#!/usr/bin/python3
# Checks a recording of the app's sound output against the clip data.
#
# Usage: analyse-recording.py [--whole] CLIPDIR RECORDING MARKS > REPORT
#
# RECORDING is raw mono float32 at 48 kHz; MARKS has one "name position" line per moment of the
# scenario (positions in samples of the recording): oneshot_start, oneshot_message, looped_start,
# looped_stop (--whole: the one shot alone, its clips and its message but not their timing).
# Clips are found by matching pursuit: the clip and offset with the best normalised
# cross-correlation is taken out of the signal, and again, until nothing matches; so clips that
# overlap, and the quiet pause clip under the tail of a word, are found at their exact sample.
# Exits 1 when a check fails; the report lists every clip found and every figure measured.
# bench/figures/figures.py finds clips and measures spacings with this module too.

import subprocess
import sys
from pathlib import Path

import numpy as np

RATE = 48000
# Step length of each clip, in microseconds: the time from its start to the next clip's start.
STEP_US = {
    "thats": 210000, "one1": 580000, "small": 440000, "step1": 420000, "for1": 210000,
    "man": 600000, "silence": 2840000, "one2": 1100000, "giant": 410000, "leap": 330000,
    "for2": 190000, "mankind": 1260000, "beep": 270000,
}
ONE_SHOT_PAUSE = 2 * RATE
# Every onset, first plays of a clip included: clips are decoded ahead of their first play.
TOLERANCE = 96  # samples: 2 ms
# The output stream runs only while sound is due, so the first clip of a performance may wait
# for it to start (PipeWire links a new stream in tens of milliseconds): it may sound late by
# that much, which shortens only its own spacing to the next clip.
STREAM_START_ALLOWANCE = 4800  # samples: 100 ms
MATCH_MIN = 0.7  # normalised cross-correlation of a clip that is really there
GAIN_RANGE = (0.9, 1.1)  # every clip plays at full volume
RESIDUAL_MAX = 0.003  # peak of what is left once the clips are taken out (-50 dBFS)
# An onset off by no more than this beyond what is allowed is the machine holding the app (or
# its output) up for a moment: the clip sounds late, and the next one seems early against it.
# A wrong step length is off by 10 ms or more.
HELD_UP_MAX = 480  # samples: 10 ms
# Output latency allowed between the moment the app was told something and the recording.
LATENCY_MAX = RATE // 2


def step(name):
    return STEP_US[name] * RATE // 1000000


def load_clips(clip_dir):
    clips = {}
    for path in sorted(Path(clip_dir).glob("*.flac")):
        raw = subprocess.run(["sox", str(path), "-t", "raw", "-e", "floating-point", "-b", "32",
                              "-c", "1", "-r", str(RATE), "-"], check=True, capture_output=True)
        clips[path.stem.split("-", 1)[1]] = np.frombuffer(raw.stdout, "<f4").astype(np.float64)
    return clips


def correlate(x, c):
    """sum_i x[m + i] * c[i] for every m at which c fits inside x."""
    n = 1 << int(np.ceil(np.log2(len(x) + len(c))))
    return np.fft.irfft(np.fft.rfft(x, n) * np.conj(np.fft.rfft(c, n)), n)[: len(x) - len(c) + 1]


def window_energy(x, length):
    s = np.concatenate(([0.0], np.cumsum(x * x)))
    return np.maximum(s[length:] - s[:-length], 0.0)


class Pursuit:
    """Takes clips out of a signal one at a time, best match first."""

    def __init__(self, signal, clips):
        self.x = signal.astype(np.float64).copy()
        self.clips = {k: c for k, c in clips.items() if len(c) <= len(self.x)}
        self.corr = {k: correlate(self.x, c) for k, c in self.clips.items()}
        self.energy = {k: window_energy(self.x, len(c)) for k, c in self.clips.items()}

    def best(self):
        found = None
        for name, c in self.clips.items():
            norm2 = float(np.dot(c, c))
            gain = self.corr[name] / norm2
            ncc = self.corr[name] / (np.sqrt(norm2 * self.energy[name]) + 1e-12)
            # A faint copy of a clip already taken out (a gain error) is no new clip.
            ncc = np.where(gain >= 0.5, ncc, 0.0)
            k = int(np.argmax(ncc))
            if found is None or ncc[k] > found[2]:
                found = (name, k, float(ncc[k]), float(gain[k]))
        return found

    def take_out(self, name, offset, gain):
        c = self.clips[name]
        self.x[offset : offset + len(c)] -= gain * c
        # Only correlations whose window overlaps the changed stretch need redoing.
        for other, oc in self.clips.items():
            lo = max(0, offset - len(oc) + 1)
            hi = min(len(self.x) - len(oc) + 1, offset + len(c))
            if lo < hi:
                part = self.x[lo : hi - 1 + len(oc)]
                self.corr[other][lo:hi] = correlate(part, oc)
                self.energy[other][lo:hi] = window_energy(part, len(oc))

    def run(self, limit=200):
        """The clips found, as (name, offset, match, gain) in time order, and what is left."""
        found = []
        while len(found) < limit and (best := self.best()) and best[2] >= MATCH_MIN:
            self.take_out(best[0], best[1], best[3])
            found.append(best)
        found.sort(key=lambda f: f[1])
        # Gains of all clips at once, by least squares: one at a time, overlaps bias them.
        signal = self.x.copy()
        basis = np.zeros((len(found), len(signal)))
        for i, (name, offset, _, gain) in enumerate(found):
            c = self.clips[name]
            basis[i, offset : offset + len(c)] = c
            signal[offset : offset + len(c)] += gain * c
        gains = np.linalg.solve(basis @ basis.T, basis @ signal) if found else np.zeros(0)
        # Where overlapping clips add up past full scale, the output clips.
        residual = signal - np.clip(gains @ basis, -1.0, 1.0)
        return [(n, o, m, float(g)) for (n, o, m, _), g in zip(found, gains)], residual


def spacings(found, played):
    """(clip, next clip, deviation of the next onset from the step, next is a first play)."""
    result = []
    for (a, oa, _, _), (b, ob, _, _) in zip(found, found[1:]):
        played.add(a)
        result.append((a, b, ob - oa - step(a), b not in played))
    played.update(f[0] for f in found)
    return result


report, failures = [], []  # failures: whether each could be a busy machine's doing


def check(ok, text, held_up=False):
    report.append(("ok    " if ok else "FAIL  ") + text)
    if not ok:
        failures.append(held_up)


def check_performance(what, segment, base, clips, played, timed=True):
    """Finds and checks the clips in a stretch of the recording that starts at sample `base`.
    Each onset must follow the one before by the earlier clip's step; the first may be late."""
    found, residual = Pursuit(segment, clips).run()
    found = [(n, o + base, m, g) for n, o, m, g in found]
    report.append(f"{what}: {len(found)} clips from {base}")
    report.extend(f"  {n:8s} at {o:9d} ({o / RATE:8.4f} s)  match {m:.4f}  gain {g:.4f}"
                  for n, o, m, g in found)
    gains = [g for *_, g in found] or [0.0]
    check(all(GAIN_RANGE[0] <= g <= GAIN_RANGE[1] for g in gains),
          f"{what}: every clip at full volume (gains {min(gains):.4f}..{max(gains):.4f})")
    peak = float(np.max(np.abs(residual), initial=0.0))
    check(peak <= RESIDUAL_MAX, f"{what}: nothing but the clips sounds (residual peak {peak:.6f} "
          f"at {int(np.argmax(np.abs(residual))) if len(residual) else 0}, allowed {RESIDUAL_MAX})")
    if not timed:
        return found
    mine = spacings(found, played)
    off = [(a, b, d) for i, (a, b, d, _) in enumerate(mine)
           if not -TOLERANCE - (STREAM_START_ALLOWANCE if i == 0 else 0) <= d <= TOLERANCE]
    report.append(f"  {what} onset spacing minus step, samples: clips played before "
                  f"{[d for *_, d, first in mine if not first]}, first plays "
                  f"{[d for *_, d, first in mine if first]}")
    check(not off, f"{what}: onsets spaced by the step lengths, +-{TOLERANCE} samples, first plays "
          "included" + "".join(f"; off: {a}->{b} {d:+d}" for a, b, d in off),
          held_up=all(abs(d) <= TOLERANCE + HELD_UP_MAX for *_, d in off))
    return found


def main():
    whole = sys.argv[1] == "--whole"
    clip_dir, rec_path, marks_path = sys.argv[1 + whole:]
    clips = load_clips(clip_dir)
    rec = np.fromfile(rec_path, dtype="<f4").astype(np.float64)
    marks = {k: int(v) for k, v in (line.split() for line in open(marks_path) if line.strip())}
    report.append(f"recording: {len(rec)} samples, {len(rec) / RATE:.2f} s")
    played = set()

    start, message = marks["oneshot_start"], marks["oneshot_message"]
    found = check_performance("one shot", rec[start:message], start, clips, played, not whole)
    check(sorted(f[0] for f in found) == sorted(STEP_US),
          f"one shot: the thirteen clips, each once (got {[f[0] for f in found]})")
    if found:
        due = found[-1][1] + step(found[-1][0]) + ONE_SHOT_PAUSE
        # The recording lags the app by the output latency; the box is seen by polling.
        check(-LATENCY_MAX <= message - due <= RATE, "one shot: message after the last step and "
              f"the 2 s pause ({(message - due) / RATE * 1000:+.0f} ms from due in the recording)")

    if not whole:
        start, stop = marks["looped_start"], marks["looped_stop"]
        found = check_performance("looped 2", rec[start:], start, clips, played)
        check(len(found) >= 2, f"looped 2: plays (found {len(found)} clips)")
    if not whole and found:
        name, last, _, _ = found[-1]
        check(last <= stop + LATENCY_MAX, "looped 2: no clip starts after stop (last at "
              f"{(last - stop) / RATE * 1000:+.0f} ms from the click)")
        due = last + step(name)
        check(due >= stop - LATENCY_MAX, "looped 2: the clip sounding at the stop was the latest "
              f"(next was due {(due - stop) / RATE * 1000:+.0f} ms from the click)")
        # The recording must reach past where a further clip would have started.
        heard_to = max(due, last + len(clips[name]))
        check(len(rec) - heard_to >= RATE // 2, "looped 2: silence recorded past the last clip's "
              f"tail and its step ({(len(rec) - heard_to) / RATE:.2f} s, at least 0.5 s)")

    if failures and all(failures):
        report.append("held up: every failure is an onset off by at most 10 ms more than "
                      "allowed, as when the machine keeps the app from running for a moment")
    print("\n".join(report))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
