#!/usr/bin/env bash
# The command line with no display and no sound server: --help and --version, a malformed option
# refused in one line, and renders a listener can keep: 48 kHz mono files of the performance's
# length with sound in them, the same bit for bit every time, an existing file kept, and the
# printed order the same as the trace of the Plays.
# Usage: render-cli.sh APP ARTIFACT_DIR
source "$(dirname "$0")/lib.sh"

e2e_begin "$2"
app=$1 out=$E2E_TMP/stdout err=$E2E_TMP/stderr

# run ARGS... : the app in an empty environment but for the UTF-8 locale of any desktop (in a C
# locale Qt says on stderr that it switched to one); its exit status in $status.
run() {
    env -i PATH=/usr/bin:/bin LANG=C.UTF-8 "$app" "$@" > "$out" 2> "$err"
    status=$?
    e2e_log "larkspool8 $*: status $status, stderr: $(head -c 300 "$err")"
}
lines() { grep -c '' "$1"; }
samples() { soxi -s "$1" 2> /dev/null; }

run --help
((status == 0)) && grep -q -- '--render MODE' "$out" && [[ ! -s $err ]] || e2e_fail "--help"
run --version
((status == 0)) && grep -qx 'larkspool8 [0-9.]*' "$out" || e2e_fail "--version"
run --seed 12x --render one-shot
((status == 2 && $(lines "$err") == 1)) && [[ ! -s $out ]] || e2e_fail "a malformed option"

# One shot: the thirteen clips once each, over its steps and its pause, 10.86 s.
run --render one-shot --seed 11 "$E2E_TMP/a.wav"
((status == 0)) || e2e_fail "the one shot render"
cp "$out" "$E2E_ART/one-shot-order.txt"
(($(lines "$out") == 13 && $(cut -d' ' -f1 "$out" | sort -u | grep -c '') == 13)) ||
    e2e_fail "not the thirteen clips once each: $(tr '\n' ' ' < "$out")"
[[ $(soxi -r "$E2E_TMP/a.wav" 2> /dev/null) == 48000 && $(soxi -c "$E2E_TMP/a.wav" 2> /dev/null) == 1 ]] ||
    e2e_fail "not 48 kHz mono"
(($(samples "$E2E_TMP/a.wav") == 521280)) || e2e_fail "$(samples "$E2E_TMP/a.wav") samples, not 10.86 s"
peak=$(sox "$E2E_TMP/a.wav" -n stat 2>&1 | awk '/^Maximum amplitude/ { print $3 }')
awk -v peak="$peak" 'BEGIN { exit !(peak > 0.1) }' || e2e_fail "silent: peak $peak"
sleep 1.1  # so that a time of writing kept in the file would differ
run --render one-shot --seed 11 "$E2E_TMP/b.wav"
cmp "$E2E_TMP/a.wav" "$E2E_TMP/b.wav" || e2e_fail "two renders of one seed differ"

run --render one-shot --seed 12 "$E2E_TMP/a.wav"
((status == 1 && $(lines "$err") == 1)) && cmp -s "$E2E_TMP/a.wav" "$E2E_TMP/b.wav" ||
    e2e_fail "an existing file was not kept"

# Looped 2 for 5 s into FLAC, the clip sounding at the stop played out, with the trace.
run --render looped-2 --seed 11 --seconds 5 --trace-plays "$E2E_TMP/trace.txt" "$E2E_TMP/c.flac"
((status == 0)) || e2e_fail "the looped 2 render"
[[ $(soxi -b "$E2E_TMP/c.flac" 2> /dev/null) == 16 ]] || e2e_fail "FLAC not 16-bit"
(($(samples "$E2E_TMP/c.flac") >= 240000)) || e2e_fail "shorter than 5 s"
# The printed order is the trace's: the same clips, each at its stamp less the first's.
paste -d' ' "$out" "$E2E_TMP/trace.txt" | awk 'NR == 1 { t0 = $4 } { d = $2 - ($4 - t0) / 1e6 }
    $1 != $3 || d > 1e-9 || d < -1e-9 || $2 >= 5 { bad = 1 } END { exit bad || NR == 0 }' ||
    e2e_fail "the printed order is not the trace"
e2e_log "passed"
