"""Reads a screenshot with OCR and checks that every expected line can be read whole: its
words, in order and together, somewhere in what the OCR read (a line may wrap). Lines that must
not break (an address) are also checked to stand on one line of their own.
Usage: read-text.py SCREENSHOT.png LINES.txt SECTION: the lines under "[SECTION]" in LINES.txt,
one expected line a line; a leading '=' marks a line that must stand alone. Exit status 1, with
the lines not found, when any is missing."""
import re
import subprocess
import sys
import tempfile

QUOTES = str.maketrans({"\u2018": "'", "\u2019": "'", "\u201c": '"', "\u201d": '"'})


def words(text):
    return re.findall(r"[a-z0-9£@]+", text.translate(QUOTES).lower())


def ocr(png):
    # Tesseract reads small desktop text far better enlarged and in grey.
    with tempfile.NamedTemporaryFile(suffix=".png") as big:
        subprocess.run(["convert", png, "-colorspace", "Gray", "-resize", "300%", big.name],
                       check=True)
        return subprocess.run(["tesseract", big.name, "-"], check=True,
                              capture_output=True, text=True).stdout


def contains(haystack, needle):
    n = len(needle)
    return any(haystack[i:i + n] == needle for i in range(len(haystack) - n + 1))


def section(lines_file, name):
    lines, current = [], None
    for line in open(lines_file, encoding="utf-8").read().splitlines():
        if line.startswith("["):
            current = line.strip("[]")
        elif current == name and line:
            lines.append(line)
    return lines


def main(png, lines_file, name):
    read = ocr(png)
    stream = words(read)
    read_lines = [words(line) for line in read.splitlines()]
    missing = []
    for line in section(lines_file, name):
        alone = line.startswith("=")
        expected = words(line[1:] if alone else line)
        found = expected in read_lines if alone else contains(stream, expected)
        if not found:
            missing.append(line)
    for line in missing:
        print(f"not read in {png}: {line}")
    if missing:
        print("OCR read:\n" + read)
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
