# Reads a screenshot with OCR and checks that every expected line can be read whole: its words,
# in order and together, somewhere in what the OCR read (a line may wrap). Lines that must not
# break (an address) are also checked to stand on one line of their own.
# Usage: read-text.py SCREENSHOT.png LINES.txt SECTION: the lines under "[SECTION]" in LINES.txt,
# one expected line a line; a leading '=' marks a line that must stand alone. Exit status 1, with
# the lines not found, when any is missing.
import re
import subprocess
import sys
import tempfile

QUOTES = str.maketrans({"\u2018": "'", "\u2019": "'", "\u201c": '"', "\u201d": '"'})


def words(text):
    return " ".join(re.findall(r"[a-z0-9£@]+", text.translate(QUOTES).lower()))


png, lines_file, name = sys.argv[1:]
# Tesseract reads small desktop text far better enlarged and in grey.
with tempfile.NamedTemporaryFile(suffix=".png") as big:
    subprocess.run(["convert", png, "-colorspace", "Gray", "-resize", "300%", big.name],
                   check=True)
    read = subprocess.run(["tesseract", big.name, "-"], check=True, capture_output=True,
                          text=True).stdout
stream, read_lines = f" {words(read)} ", [words(line) for line in read.splitlines()]
expected = open(lines_file, encoding="utf-8").read().split(f"[{name}]\n")[1].split("\n[")[0]
missing = [line for line in expected.splitlines() if line and not (
    words(line[1:]) in read_lines if line[0] == "=" else f" {words(line)} " in stream)]
if missing:
    sys.exit("".join(f"not read in {png}: {line}\n" for line in missing) + "OCR read:\n" + read)
