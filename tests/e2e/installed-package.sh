#!/usr/bin/env bash
# The Debian package as built by CPack: it holds the binary and the desktop files, depends on
# the runtime libraries, and the binary it installs starts and opens its window.
# Usage: installed-package.sh BUILD_DIR ARTIFACT_DIR
set -uo pipefail

build=$1 art=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

e2e_begin "$art"
pkg=$E2E_TMP/package root=$E2E_TMP/root
# Into a directory of our own, so `make package` output in the build directory is left alone.
(cd "$build" && cpack -G DEB -B "$pkg") > "$art/cpack.txt" 2>&1 ||
    e2e_fail "cpack failed: $(tail -n 20 "$art/cpack.txt")" || exit 1
debs=("$pkg"/*.deb)
[[ -f ${debs[0]} ]] || e2e_fail "cpack made no .deb" || exit 1
deb=${debs[0]}
e2e_log "package $(basename "$deb")"

depends=$(dpkg-deb -f "$deb" Depends)
e2e_log "Depends: $depends"
for lib in libportaudio2 libsndfile1 libqt6widgets6; do
    [[ $depends == *"$lib"* ]] || e2e_fail "Depends lacks $lib" || exit 1
done

dpkg -x "$deb" "$root" || e2e_fail "dpkg -x failed" || exit 1
for f in usr/bin/larkspool8 usr/share/applications/org.example.Larkspool8.desktop \
    usr/share/icons/hicolor/scalable/apps/larkspool8.svg usr/share/metainfo/org.example.Larkspool8.metainfo.xml; do
    [[ -f $root/$f ]] || e2e_fail "the package lacks /$f" || exit 1
done
desktop-file-validate "$root/usr/share/applications/org.example.Larkspool8.desktop" ||
    e2e_fail "the installed desktop entry does not validate" || exit 1

start_x && start_sound_server || exit 1
launch_app "$root/usr/bin/larkspool8" "$art/app-stderr.txt"
wait_main_window 10 || exit 1
screenshot "$art/installed.png"
press_quit
wait_app_exit 2 || exit 1
((E2E_APP_RC == 0)) || e2e_fail "the installed app exited with status $E2E_APP_RC" || exit 1
e2e_log "passed"
