#!/usr/bin/python3
# Checks a recording of the app's sound output against the clip data.
#
# Usage: analyse-recording.py [--whole] [--latency-ms MS] [--spliced] CLIPDIR RECORDING MARKS [TRACE]
#        analyse-recording.py --accounts TRACE
#
# RECORDING is raw mono float32 at 48 kHz; MARKS has one "name position" line per moment of the
# scenario (positions in samples of the recording): oneshot_start, oneshot_message, looped2_start,
# looped2_stop (--whole: the one shot alone, its clips and its message but not their timing).
# TRACE is the app's --trace-plays file: every onset must be as far from the one before as the
# two Plays' stamps are, to the sample; the steps themselves are checked from the stamps, and its
# closing accounts must show every Play sent placed and sounded to its end (--accounts: that
# alone).
# --latency-ms: how late the recording may hear what the app did (default 500).
# --spliced: before anything else, stretches of utter silence longer than a server stall can
# leave in the middle of a clip are cut out of the recording (with --whole: for a stall run).
# The marks then no longer fit, and the clips a stall held back overlap more than a performance
# does, the long quiet pause clip among them, so the search leaves a little more behind.
# Clips are found by matching pursuit: the clip and offset with the best normalised
# cross-correlation is taken out of the signal, and again, until nothing matches; so clips that
# overlap, and the quiet pause clip under the tail of a word, are found at their exact sample.
# Exits 1 when a check fails; the report lists every clip found and every figure measured.
# bench/figures/figures.py finds clips with this module too.

import subprocess
import sys
from pathlib import Path

import numpy as np

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
from piece_tables import step_us  # noqa: E402

RATE = 48000
# Step length of each clip, in microseconds: the time from its start to the next clip's start.
STEP_US = step_us()
ONE_SHOT_PAUSE = 2 * RATE
# Every onset against its Play's stamp, first plays of a clip and of a performance included.
TOLERANCE = 2  # samples
# A step the machine held up runs that much long; its clips then come that much later, which
# the stamps show. Held up this long or longer, even at the median, it is no longer the machine.
STEP_LATE_MEDIAN_MAX_US = 1000
MATCH_MIN = 0.7  # normalised cross-correlation of a clip that is really there
GAIN_RANGE = (0.9, 1.1)  # every clip plays at full volume
RESIDUAL_MAX = 0.003  # peak of what is left once the clips are taken out (-50 dBFS)
SPLICED_RESIDUAL_MAX = 0.01  # -40 dBFS
# Output latency allowed between the moment the app was told something and the recording.
LATENCY_MAX = RATE // 2


def step(name):
    return STEP_US[name] * RATE // 1000000


def decode(path):
    """A sound file's samples, mono at RATE."""
    raw = subprocess.run(["sox", str(path), "-t", "raw", "-e", "floating-point", "-b", "32", "-c",
                          "1", "-r", str(RATE), "-"], check=True, capture_output=True).stdout
    return np.frombuffer(raw, "<f4").astype(np.float64)


def load_clips(clip_dir):
    return {path.stem.split("-", 1)[1]: decode(path)
            for path in sorted(Path(clip_dir).glob("*.flac"))}


def load_recording(rec_path, marks_path):
    """The recording, and its marks by name."""
    marks = {k: int(v) for k, v in (line.split() for line in open(marks_path) if line.strip())}
    return np.fromfile(rec_path, dtype="<f4").astype(np.float64), marks


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
        # Gains of all clips at once, by least squares: one at a time, overlaps bias them. A
        # sample the output clipped at full scale tells nothing of a gain, and is left out.
        signal = self.x.copy()
        basis = np.zeros((len(found), len(signal)))
        for i, (name, offset, _, gain) in enumerate(found):
            c = self.clips[name]
            basis[i, offset : offset + len(c)] = c
            signal[offset : offset + len(c)] += gain * c
        fit = np.abs(signal) < 0.999
        gains = (np.linalg.solve(basis[:, fit] @ basis[:, fit].T, basis[:, fit] @ signal[fit])
                 if found else np.zeros(0))
        # Where overlapping clips add up past full scale, the output clips.
        residual = signal - np.clip(gains @ basis, -1.0, 1.0)
        return [(n, o, m, float(g)) for (n, o, m, _), g in zip(found, gains)], residual


def splice_silence(x, longest=int(2.5 * RATE), keep=RATE // 10):
    """The recording with every run of exact zeros longer than `longest` cut down to `keep`:
    a clip that a stalled server interrupted is whole again, if nothing of it was lost. The
    clips carry hiss, and no pause of the piece's own is that long but the last."""
    zero = np.concatenate(([False], x == 0.0, [False]))
    edges = np.flatnonzero(np.diff(zero.astype(np.int8)))
    cuts = [(a + keep, b) for a, b in zip(edges[::2], edges[1::2]) if b - a > longest]
    keepers = np.ones(len(x), dtype=bool)
    for a, b in cuts:
        keepers[a:b] = False
    return x[keepers], len(cuts)


def load_trace(path):
    """The Plays of a --trace-plays file, as (clip, microseconds), and its closing accounts."""
    plays, accounts = [], {}
    for line in Path(path).read_text().splitlines():
        if line.startswith("# "):
            words = line[2:].split()
            accounts = {k: int(v) for k, v in zip(words[::2], words[1::2])}
        elif line.strip():
            name, us = line.split()
            plays.append((name, float(us)))
    return plays, accounts


def percentile(values, q):
    return float(np.percentile(values, q)) if len(values) else 0.0


report, failures = [], []


def check(ok, text):
    report.append(("ok    " if ok else "FAIL  ") + text)
    if not ok:
        failures.append(text)


def finish():
    print("\n".join(report))
    sys.exit(1 if failures else 0)


def check_accounts(accounts):
    """The trace's closing accounts: every Play sent was placed and sounded to its end."""
    report.append("accounts: " + ", ".join(f"{k} {v}" for k, v in accounts.items()))
    check(accounts and accounts["dropped"] + accounts["stolen"] + accounts["discarded"] == 0
          and accounts["sent"] == accounts["placed"] == accounts["finished"] > 0,
          "every Play sent was placed and sounded to its end, none dropped or cut short")


def check_against_trace(what, found, plays, timed):
    """The clips found are the Plays traced, in order; when timed, each onset is as far from
    the one before as their stamps are, and no step was shorter than its length."""
    check([f[0] for f in found] == [p[0] for p in plays],
          f"{what}: the clips in the order the app played them")
    if not timed:
        return
    n = min(len(found), len(plays))
    off = [(found[i][1] - found[i - 1][1])
           - round((plays[i][1] - plays[i - 1][1]) * RATE / 1e6) for i in range(1, n)]
    report.append(f"  {what} onset spacing minus stamped spacing, samples: {off}")
    check(all(abs(d) <= TOLERANCE for d in off), f"{what}: every onset where its Play's stamp "
          f"puts it, +-{TOLERANCE} samples, the first of the performance included")
    late = [plays[i][1] - plays[i - 1][1] - STEP_US[plays[i - 1][0]] for i in range(1, n)]
    report.append(f"  {what} steps late, us: p50 {percentile(late, 50):.0f}, "
                  f"p99 {percentile(late, 99):.0f}, max {max(late, default=0):.0f}")
    check(min(late, default=0) >= 0 and percentile(late, 50) < STEP_LATE_MEDIAN_MAX_US,
          f"{what}: every step held at least its length, and at the median less than "
          f"{STEP_LATE_MEDIAN_MAX_US} us more")


def check_performance(what, segment, base, clips, plays=None, timed=True):
    """Finds and checks the clips in a stretch of the recording that starts at sample `base`,
    against their Plays when traced."""
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
    if plays is not None:
        check_against_trace(what, found, plays, timed)
    return found


def main():
    global LATENCY_MAX, RESIDUAL_MAX
    args = sys.argv[1:]
    if args[0] == "--accounts":
        check_accounts(load_trace(args[1])[1])
        finish()
    whole = args[0] == "--whole"
    args = args[whole:]
    if args[0] == "--latency-ms":
        LATENCY_MAX = int(args[1]) * RATE // 1000
        args = args[2:]
    spliced = args[0] == "--spliced"
    args = args[spliced:]
    clip_dir, rec_path, marks_path = args[:3]
    plays, accounts = load_trace(args[3]) if len(args) > 3 else (None, {})
    clips = load_clips(clip_dir)
    rec, marks = load_recording(rec_path, marks_path)
    report.append(f"recording: {len(rec)} samples, {len(rec) / RATE:.2f} s")
    if spliced:
        RESIDUAL_MAX = SPLICED_RESIDUAL_MAX
        rec, cuts = splice_silence(rec)
        report.append(f"spliced: {cuts} stretch(es) of silence cut, {len(rec)} samples left")
    if plays is not None:
        check_accounts(accounts)

    start, message = marks["oneshot_start"], marks["oneshot_message"]
    found = check_performance("one shot", rec[start:] if whole else rec[start:message], start, clips,
                              None if plays is None else plays[:13], not whole)
    check(sorted(f[0] for f in found) == sorted(STEP_US),
          f"one shot: the thirteen clips, each once (got {[f[0] for f in found]})")
    if found and not spliced:
        due = found[-1][1] + step(found[-1][0]) + ONE_SHOT_PAUSE
        # The recording lags the app by the output latency; the box is seen by polling.
        check(-LATENCY_MAX <= message - due <= RATE, "one shot: message after the last step and "
              f"the 2 s pause ({(message - due) / RATE * 1000:+.0f} ms from due in the recording)")

    if not whole:
        start, stop = marks["looped2_start"], marks["looped2_stop"]
        found = check_performance("looped 2", rec[start:], start, clips,
                                  None if plays is None else plays[13:])
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

    finish()


if __name__ == "__main__":
    main()
