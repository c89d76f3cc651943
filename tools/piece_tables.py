"""The piece's own tables, read from the sources where they live, for the scripts that need
them: the clips (name and resource number) from src/sounds/SoundBank.cpp and the step length
of each clip from src/sequencer/Events.h. No script keeps a copy of its own."""

import re
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


def clip_numbers():
    """{clip name: resource number}, the thirteen clips."""
    text = (ROOT / "src/sounds/SoundBank.cpp").read_text()
    found = dict(re.findall(r'\{&SoundBank::\w+, "(\w+)", (\d+)\}', text))
    return {name: int(number) for name, number in found.items()}


def step_us():
    """{clip name: step length in microseconds}: the hold after each clip's Play."""
    text = (ROOT / "src/sequencer/Events.h").read_text()
    found = re.findall(r'\{"\w+", &SoundBank::(\w+), (\d+)\}', text)
    return {clip: int(us) for clip, us in found}


if __name__ == "__main__":
    # For shell scripts: one "name number step_us" line per clip.
    steps = step_us()
    for name, number in sorted(clip_numbers().items(), key=lambda c: c[1]):
        print(name, number, steps[name])
