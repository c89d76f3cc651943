#!/usr/bin/env bash
# The Debian package as built by CPack: lintian finds no error in it, it holds the binary and the
# desktop files, depends on the runtime libraries, and the binary it installs starts, opens its
# window and quits cleanly.
# Usage: installed-package.sh BUILD_DIR ARTIFACT_DIR
source "$(dirname "$0")/lib.sh"

e2e_begin "$2"
pkg=$E2E_TMP/package root=$E2E_TMP/root
# Into a directory of our own, so `make package` output in the build directory is left alone.
(cd "$1" && cpack -G DEB -B "$pkg") > "$E2E_ART/cpack.txt" 2>&1 ||
    e2e_fail "cpack failed: $(tail -n 20 "$E2E_ART/cpack.txt")"
deb=$(find "$pkg" -maxdepth 1 -name '*.deb' | head -n1)
[[ -f $deb ]] || e2e_fail "cpack made no .deb"
depends=$(dpkg-deb -f "$deb" Depends)
e2e_log "package $(basename "$deb"), Depends: $depends"
for lib in libpulse0 libportaudio2 libsndfile1 libqt6widgets6; do
    [[ $depends == *"$lib"* ]] || e2e_fail "Depends lacks $lib"
done
lintian --fail-on error "$deb" > "$E2E_ART/lintian.txt" 2>&1 ||
    e2e_fail "lintian: $(grep '^E:' "$E2E_ART/lintian.txt")"

dpkg -x "$deb" "$root" || e2e_fail "dpkg -x failed"
for f in usr/bin/larkspool8 usr/share/applications/org.example.Larkspool8.desktop \
    usr/share/icons/hicolor/scalable/apps/larkspool8.svg \
    usr/share/metainfo/org.example.Larkspool8.metainfo.xml; do
    [[ -f $root/$f ]] || e2e_fail "the package lacks /$f"
done
desktop-file-validate "$root/usr/share/applications/org.example.Larkspool8.desktop" ||
    e2e_fail "the installed desktop entry does not validate"

start_x
start_sound_server
launch_app "$root/usr/bin/larkspool8"
quit_cleanly 2
e2e_log "passed"
