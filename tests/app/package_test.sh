#!/usr/bin/env bash
# package_test.sh BUILD_DIR XVFB OPENBOX WMCTRL
#
# Builds the Debian package from BUILD_DIR (cpack), checks its name, its
# dependencies and the files a desktop menu needs, unpacks it into a
# temporary root with dpkg -x (what installing puts on disk, without touching
# the system), and starts the installed program through its launcher on an X
# server of its own: the window must come up with its caption and no message
# box (the sample dictionary is installed beside the program), and closing it
# must end the program with exit code 0.
set -euo pipefail

build="$1"
xvfb="$2" openbox="$3" wmctrl="$4"

here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=x_session.sh
source "$here/x_session.sh"

(cd "$build" && cpack -G DEB -B "$work/package") >"$work/cpack.log" 2>&1 ||
    fail "cpack failed" "$work/cpack.log"
debs=("$work"/package/kalimdar_*.deb)
[[ -f "${debs[0]}" ]] || fail "cpack made no kalimdar_*.deb" "$work/cpack.log"
deb="${debs[0]}"

depends="$(dpkg-deb -f "$deb" Depends)"
for library in libqt6widgets6 libsqlite3-0; do
    [[ "$depends" == *"$library"* ]] || fail "the package does not depend on $library: $depends"
done
[[ "$(dpkg-deb -f "$deb" Recommends)" == *qt6-gtk-platformtheme* ]] ||
    fail "the package does not recommend Qt's GTK platform theme (GNOME's dark palette)"

root="$work/root"
dpkg -x "$deb" "$root"
for file in usr/bin/kalimdar usr/lib/kalimdar/kalimdar usr/lib/kalimdar/lx_items.db \
    usr/share/applications/kz.kalimdar.Kalimdar.desktop usr/share/metainfo/kz.kalimdar.Kalimdar.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/kalimdar.svg usr/share/icons/hicolor/48x48/apps/kalimdar.png; do
    [[ -e "$root/$file" ]] || fail "the package lacks /$file"
done
[[ -L "$root/usr/bin/kalimdar" ]] || fail "/usr/bin/kalimdar is not a link to the program"
grep -qx 'Exec=kalimdar' "$root/usr/share/applications/kz.kalimdar.Kalimdar.desktop" ||
    fail "the menu entry does not start kalimdar"

# Started as the menu would, from an unrelated folder, through the launcher.
mkdir "$work/elsewhere"
(cd "$work/elsewhere" && exec "$root/usr/bin/kalimdar") &
app_pid=$!
wait_window "$title"
if wait_exit "$app_pid" 2; then
    app_pid=""
    fail "the installed program exited early with code $exit_code"
fi
has_window "Kalimdar" && fail "a message box came up over the installed dictionary"
[[ ! -e "$work/elsewhere/lx_items.db" ]] || fail "the program made a database in the folder it was started from"
close_and_expect_exit_zero
echo "$(basename "$deb"): installed program shows \"$title\" and exits with code 0"
