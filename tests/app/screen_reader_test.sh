#!/usr/bin/env bash
# screen_reader_test.sh PROGRAM MAKE_DICTIONARY XVFB OPENBOX WMCTRL XDOTOOL SETXKBMAP DBUS_RUN_SESSION
#
# The built program read from outside as a screen reader reads it: in a D-Bus
# session of its own, on an X server of its own with a window manager
# (x_session.sh), with an accessibility bus of its own (at-spi-bus-launcher),
# screen_reader_test.py starts the program from a folder with a sample
# dictionary and from an empty one and checks, through AT-SPI, what it reads
# and hears (see there).
#
# Exits 77 (the test's skip code) naming what is missing: a helper program
# (the build passes their paths, or <NAME>-NOTFOUND when it found none),
# python3 with pyatspi, or a D-Bus session or an accessibility bus that does
# not come up. The waits' deadlines add up to less than the test's timeout.
set -euo pipefail

program="$1" make_dictionary="$2"
xvfb="$3" openbox="$4" wmctrl="$5" xdotool="$6" setxkbmap="$7" dbus_run_session="$8"
here="$(cd "$(dirname "$0")" && pwd)"

[[ -x "$make_dictionary" ]] || { echo "make_dictionary not found at $make_dictionary" >&2; exit 1; }

missing=()
[[ -x "$xdotool" ]] || missing+=(xdotool)
[[ -x "$setxkbmap" ]] || missing+=(setxkbmap)
[[ -x "$dbus_run_session" ]] || missing+=(dbus-run-session)
bus_launcher=""
for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
    if [[ -x "$candidate" ]]; then bus_launcher="$candidate"; break; fi
done
[[ -n "$bus_launcher" ]] || missing+=("at-spi-bus-launcher (at-spi2-core)")
# The system's python3 has the Debian package's pyatspi; one earlier on the
# PATH may not.
python=""
for candidate in /usr/bin/python3 "$(command -v python3 || true)"; do
    if [[ -x "$candidate" ]] && "$candidate" -c 'import pyatspi' 2>/dev/null; then python="$candidate"; break; fi
done
[[ -n "$python" ]] || missing+=("python3 with pyatspi (python3-pyatspi)")
if ((${#missing[@]})); then
    printf -v names '%s, ' "${missing[@]}"
    echo "skipped: not found: ${names%, } (scripts/setup.sh installs them)"
    exit 77
fi

# The first pass starts a D-Bus session of its own and runs this script
# again inside it; the second does the test.
if [[ -z "${KALIMDAR_SCREEN_READER_SESSION:-}" ]]; then
    marker="$(mktemp)"
    status=0
    KALIMDAR_SCREEN_READER_SESSION="$marker" "$dbus_run_session" -- "$0" "$@" || status=$?
    if [[ -s "$marker" ]]; then rm -f "$marker"; exit "$status"; fi
    rm -f "$marker"
    echo "skipped: dbus-run-session could not start a D-Bus session (exit code $status)"
    exit 77
fi
echo started >"$KALIMDAR_SCREEN_READER_SESSION"

# shellcheck source=x_session.sh
source "$here/x_session.sh"

bus_pid=""
stop_bus() {
    [[ -n "$bus_pid" ]] || return 0
    kill "$bus_pid" 2>/dev/null || true
    wait "$bus_pid" 2>/dev/null || true
}
trap 'stop_bus; cleanup' EXIT

# The Kazakh keyboard layout, so that the letters typed are on keys of their
# own (xdotool would otherwise lend each one a key, racing the program's
# reading of the changed keyboard map).
"$setxkbmap" kz || fail "setxkbmap could not set the Kazakh layout"

# The accessibility bus, on the X server's display; the program and the
# reader both find it through the session.
"$bus_launcher" --launch-immediately >"$work/bus.log" 2>&1 &
bus_pid=$!

mkdir -p "$work/dictionary" "$work/empty"
"$make_dictionary" --rows 3000 --out "$work/dictionary/lx_items.db" >"$work/make_dictionary.log" 2>&1 ||
    fail "make_dictionary failed" "$work/make_dictionary.log"
cp "$program" "$work/dictionary/kalimdar"
cp "$program" "$work/empty/kalimdar"

status=0
"$python" "$here/screen_reader_test.py" --dictionary-folder "$work/dictionary" --empty-folder "$work/empty" \
    --xdotool "$xdotool" --wmctrl "$wmctrl" --bus-launcher-pid "$bus_pid" || status=$?
if ((status == 77)); then
    tail -n 20 "$work/bus.log" || true
    exit 77
fi
if ((status != 0)); then
    for log in "$work/dictionary.log" "$work/empty.log" "$work/bus.log"; do
        [[ -s "$log" ]] && { echo "--- $(basename "$log"):" >&2; tail -n 20 "$log" >&2; }
    done
    exit "$status"
fi
