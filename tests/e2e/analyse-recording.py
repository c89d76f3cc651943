#!/usr/bin/python3
"""Checks a recording of the app's sound output against the clip data.

Usage: analyse-recording.py CLIPDIR RECORDING MARKS REPORT

RECORDING is raw mono float32 at 48 kHz; MARKS has one "name position" line per moment of the
scenario (positions in samples of the recording): oneshot_start, oneshot_message, looped_start,
looped_stop. Clips are found by matching pursuit: the clip and offset with the best normalised
cross-correlation is taken out of the signal, and again, until nothing matches; so clips that
overlap, and the quiet pause clip under the tail of a word, are found at their exact sample.
Exits 1 when a check fails; the report lists every clip found and every figure measured.
"""

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
ONE_SHOT_PAUSE_US = 2000000
SPACING_TOLERANCE = 96  # samples: 2 ms
# Clips are decoded ahead of their first Play: a first play gets no more room than a repeat.
FIRST_PLAY_ALLOWANCE = 0  # samples
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
LATENCY_MAX = int(0.5 * RATE)


def step_samples(name):
    return STEP_US[name] * RATE // 1000000


def load_clips(clip_dir):
    clips = {}
    for path in sorted(Path(clip_dir).glob("*.flac")):
        name = path.stem.split("-", 1)[1]
        raw = subprocess.run(
            ["sox", str(path), "-t", "raw", "-e", "floating-point", "-b", "32", "-c", "1",
             "-r", str(RATE), "-"], check=True, capture_output=True).stdout
        clips[name] = np.frombuffer(raw, dtype="<f4").astype(np.float64)
    if sorted(clips) != sorted(STEP_US):
        raise SystemExit(f"unexpected clip set in {clip_dir}: {sorted(clips)}")
    return clips


def correlate(x, c):
    """sum_i x[m + i] * c[i] for every m at which c fits inside x."""
    n = 1 << int(np.ceil(np.log2(len(x) + len(c))))
    r = np.fft.irfft(np.fft.rfft(x, n) * np.conj(np.fft.rfft(c, n)), n)
    return r[: len(x) - len(c) + 1]


def window_energy(x, length):
    s = np.concatenate(([0.0], np.cumsum(x * x)))
    return np.maximum(s[length:] - s[:-length], 0.0)


class Pursuit:
    """Takes clips out of a signal one at a time, best match first."""

    def __init__(self, signal, clips):
        self.x = signal.astype(np.float64).copy()
        self.clips = {k: c for k, c in clips.items() if len(c) <= len(self.x)}
        self.norm2 = {k: float(np.dot(c, c)) for k, c in self.clips.items()}
        self.corr = {k: correlate(self.x, c) for k, c in self.clips.items()}
        self.energy = {k: window_energy(self.x, len(c)) for k, c in self.clips.items()}

    def best(self):
        found = None
        for name, c in self.clips.items():
            corr = self.corr[name]
            gain = corr / self.norm2[name]
            ncc = corr / (np.sqrt(self.norm2[name] * self.energy[name]) + 1e-12)
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
            if lo >= hi:
                continue
            part = self.x[lo : hi - 1 + len(oc)]
            self.corr[other][lo:hi] = correlate(part, oc)
            self.energy[other][lo:hi] = window_energy(part, len(oc))

    def run(self, limit=200):
        found = []
        for _ in range(limit):
            best = self.best()
            if best is None or best[2] < MATCH_MIN:
                break
            self.take_out(best[0], best[1], best[3])
            found.append(best)
        return self.refine(sorted(found, key=lambda f: f[1]))

    def refine(self, found):
        """Gains of all clips at once, by least squares: one at a time, overlaps bias them.
        Returns the clips found with those gains, and what is left of the signal."""
        signal = self.x.copy()
        for name, offset, _, gain in found:
            c = self.clips[name]
            signal[offset : offset + len(c)] += gain * c
        spans = [(offset, offset + len(self.clips[name])) for name, offset, _, _ in found]
        gram = np.zeros((len(found), len(found)))
        rhs = np.zeros(len(found))
        for i, (ni, oi, _, _) in enumerate(found):
            ci = self.clips[ni]
            rhs[i] = np.dot(signal[oi : oi + len(ci)], ci)
            for j, (nj, oj, _, _) in enumerate(found):
                lo, hi = max(spans[i][0], spans[j][0]), min(spans[i][1], spans[j][1])
                if lo < hi:
                    gram[i, j] = np.dot(ci[lo - oi : hi - oi], self.clips[nj][lo - oj : hi - oj])
        gains = np.linalg.solve(gram, rhs) if found else rhs
        model = np.zeros_like(signal)
        for (name, offset, _, _), gain in zip(found, gains):
            c = self.clips[name]
            model[offset : offset + len(c)] += gain * c
        # Where overlapping clips add up past full scale, the output clips.
        residual = signal - np.clip(model, -1.0, 1.0)
        return [(n, o, m, float(g)) for (n, o, m, _), g in zip(found, gains)], residual


class Report:
    def __init__(self):
        self.lines = []
        self.failures = 0
        # Failures that look like a busy machine rather than the app: onsets late by a little.
        self.held_up = 0

    def say(self, text):
        self.lines.append(text)

    def check(self, ok, text):
        self.say(("ok    " if ok else "FAIL  ") + text)
        if not ok:
            self.failures += 1
        return ok


def describe(found, base):
    return [f"  {name:8s} at {off + base:9d} ({(off + base) / RATE:8.4f} s)  match {ncc:.4f}"
            f"  gain {gain:.4f}" for name, off, ncc, gain in found]


def check_spacing(report, found, what, played):
    """Each onset follows the one before by the earlier clip's step length, first plays of a
    clip in the process included (reported apart); the performance's first clip may come late
    by the output's start. `played` holds the clips heard so far.
    Returns the deviations of the onsets of clips played before, in samples."""
    repeats, firsts, bad, slight = [], [], [], []
    for i, ((a, oa, _, _), (b, ob, _, _)) in enumerate(zip(found, found[1:])):
        played.add(a)
        deviation = ob - oa - step_samples(a)
        late_limit = SPACING_TOLERANCE + (0 if b in played else FIRST_PLAY_ALLOWANCE)
        early_limit = SPACING_TOLERANCE + (STREAM_START_ALLOWANCE if i == 0 else 0)
        if not -early_limit <= deviation <= late_limit:
            bad.append(f"{a}->{b} {deviation:+d}")
            slight.append(
                -SPACING_TOLERANCE - HELD_UP_MAX <= deviation <= late_limit + HELD_UP_MAX)
        (repeats if b in played else firsts).append(deviation)
    if found:
        played.add(found[-1][0])
    if repeats or firsts:
        report.say(f"  {what} onset spacing minus step, samples: clips played before "
                   f"{repeats}, first plays {firsts}")
        report.held_up += 1 if slight and all(slight) else 0
        report.check(not bad,
                     f"{what}: onsets spaced by the step lengths, +-{SPACING_TOLERANCE} samples "
                     f"(first plays up to {FIRST_PLAY_ALLOWANCE} more late)"
                     + (f"; off: {', '.join(bad)}" if bad else ""))
    return repeats, firsts


def check_found(report, found, residual, what):
    gains = [g for _, _, _, g in found]
    report.check(all(GAIN_RANGE[0] <= g <= GAIN_RANGE[1] for g in gains),
                 f"{what}: every clip at full volume (gains {min(gains, default=0):.4f}"
                 f"..{max(gains, default=0):.4f})")
    peak = float(np.max(np.abs(residual))) if len(residual) else 0.0
    at = int(np.argmax(np.abs(residual))) if len(residual) else 0
    report.check(peak <= RESIDUAL_MAX,
                 f"{what}: nothing but the clips sounds (residual peak {peak:.6f} at {at}, "
                 f"allowed {RESIDUAL_MAX})")


def analyse_one_shot(report, rec, marks, clips, played):
    start, message = marks["oneshot_start"], marks["oneshot_message"]
    segment = rec[start:message]
    found, residual = Pursuit(segment, clips).run()
    report.say(f"one shot: {len(found)} clips between {start} and {message}")
    report.lines += describe(found, start)
    names = [f[0] for f in found]
    report.check(sorted(names) == sorted(STEP_US),
                 f"one shot: the thirteen clips, each once (got {len(names)}: {names})")
    check_found(report, found, residual, "one shot")
    deviations = check_spacing(report, found, "one shot", played)
    if found:
        name, last, _, _ = found[-1]
        due = start + last + step_samples(name) + ONE_SHOT_PAUSE_US * RATE // 1000000
        # The recording lags the app by the output latency; the box is seen by polling.
        report.check(-LATENCY_MAX <= message - due <= RATE,
                     f"one shot: message after the last step and the 2 s pause "
                     f"({(message - due) / RATE * 1000:+.0f} ms from due in the recording)")
    return deviations


def analyse_looped(report, rec, marks, clips, played):
    start, stop = marks["looped_start"], marks["looped_stop"]
    segment = rec[start:]
    found, residual = Pursuit(segment, clips).run()
    report.say(f"looped 2: {len(found)} clips from {start}, stop at {stop}")
    report.lines += describe(found, start)
    report.check(len(found) >= 2, f"looped 2: plays (found {len(found)} clips)")
    check_found(report, found, residual, "looped 2")
    deviations = check_spacing(report, found, "looped 2", played)
    if found:
        name, last, _, _ = found[-1]
        last += start
        report.check(last <= stop + LATENCY_MAX,
                     f"looped 2: no clip starts after stop (last at "
                     f"{(last - stop) / RATE * 1000:+.0f} ms from the click)")
        due = last + step_samples(name)
        report.check(due >= stop - LATENCY_MAX,
                     f"looped 2: the clip sounding at the stop was the latest "
                     f"(next was due {(due - stop) / RATE * 1000:+.0f} ms from the click)")
        # The recording must reach past where a further clip would have started.
        heard_to = max(due, last + len(clips[name]))
        report.check(len(rec) - heard_to >= RATE // 2,
                     f"looped 2: silence recorded past the last clip's tail and its step "
                     f"({(len(rec) - heard_to) / RATE:.2f} s, at least 0.5 s)")
    return deviations


def main():
    if len(sys.argv) != 5:
        raise SystemExit(__doc__)
    clip_dir, rec_path, marks_path, report_path = sys.argv[1:]
    clips = load_clips(clip_dir)
    rec = np.fromfile(rec_path, dtype="<f4").astype(np.float64)
    marks = {}
    for line in Path(marks_path).read_text().split("\n"):
        if line.strip():
            key, value = line.split()
            marks[key] = int(value)
    report = Report()
    report.say(f"recording: {len(rec)} samples, {len(rec) / RATE:.2f} s")
    played = set()
    repeats, firsts = analyse_one_shot(report, rec, marks, clips, played)
    more_repeats, more_firsts = analyse_looped(report, rec, marks, clips, played)
    for what, devs in (("onset jitter", repeats + more_repeats),
                       ("first-play lateness", firsts + more_firsts)):
        if devs:
            report.say(f"{what}: max |deviation| {max(abs(d) for d in devs)} samples, "
                       f"mean {np.mean(devs):+.2f}, median {np.median(devs):+.1f}, "
                       f"over {len(devs)} spacings")
    if report.failures and report.failures == report.held_up:
        report.say("held up: every failure is an onset off by at most 10 ms more than allowed, as "
                   "when the machine keeps the app from running for a moment")
    Path(report_path).write_text("\n".join(report.lines) + "\n")
    print("\n".join(report.lines))
    sys.exit(1 if report.failures else 0)


if __name__ == "__main__":
    main()
