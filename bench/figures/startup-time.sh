#!/usr/bin/env bash
# Start-up time of the app (exec to window mapped), median of RUNS, under a private X server
# and sound server as in the end-to-end tests. A measurement, not a test.
# Usage: startup-time.sh APP [RUNS]
set -uo pipefail

app=$1 runs=${2:-5}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../tests/e2e/lib.sh
source "$here/../../tests/e2e/lib.sh"

e2e_begin "$(mktemp -d "${TMPDIR:-/tmp}/lark-startup.XXXXXX")"
trap 'e2e_teardown; rm -rf "$E2E_ART"' EXIT
start_x
start_sound_server
home=$(mktemp -d "$E2E_TMP/home.XXXXXX")
/usr/bin/python3 "$here/startup-time.py" "$runs" "$app" PATH=/usr/bin:/bin HOME="$home" \
    XDG_RUNTIME_DIR="$home" LANG=C.UTF-8 DISPLAY="$DISPLAY" PULSE_SERVER="$PULSE_SERVER"
