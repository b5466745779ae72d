#!/usr/bin/env bash
# smoke_test.sh PROGRAM MAKE_DICTIONARY XVFB OPENBOX WMCTRL
#
# On an X server of its own with a window manager, starts the built program
# twice, as a user would:
# 1. from a folder with a sample dictionary: the window comes up with no
#    message box and stays up;
# 2. from an empty folder: the missing-table box comes up first, captioned
#    "Kalimdar"; once it is closed the window comes up all the same, and an
#    empty lx_items.db is left in the folder.
# Each time the window is closed through the window manager and the program
# must end with exit code 0.
#
# Exits 77 (the test's skip code) when one of the helper programs is missing;
# the build passes their paths, or <NAME>-NOTFOUND when it found none.
# The waits' deadlines (x_session.sh) add up to less than the test's
# timeout, so a slow run reports what it was waiting for.
set -euo pipefail

program="$1" make_dictionary="$2"
xvfb="$3" openbox="$4" wmctrl="$5"

[[ -x "$make_dictionary" ]] || { echo "make_dictionary not found at $make_dictionary" >&2; exit 1; }
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=x_session.sh
source "$here/x_session.sh"

# start_program FOLDER: copies the program into FOLDER and starts it there.
start_program() {
    mkdir -p "$1"
    cp "$program" "$1/kalimdar"
    (cd "$1" && exec ./kalimdar) &
    app_pid=$!
}

# 1. With a sample dictionary.
mkdir -p "$work/dictionary"
"$make_dictionary" --rows 3000 --out "$work/dictionary/lx_items.db" >"$work/make_dictionary.log" 2>&1 ||
    fail "make_dictionary failed" "$work/make_dictionary.log"
start_program "$work/dictionary"
wait_window "$title"
# It has to stay up on its own for a while, with no message box.
if wait_exit "$app_pid" 2; then
    app_pid=""
    fail "program exited early with code $exit_code"
fi
has_window "Kalimdar" && fail "a message box came up over the sample dictionary"
close_and_expect_exit_zero

# 2. Without a database: the box first, then the window.
start_program "$work/empty"
wait_window "Kalimdar"
[[ -f "$work/empty/lx_items.db" && ! -s "$work/empty/lx_items.db" ]] ||
    fail "no empty lx_items.db was created beside the program"
wm -F -c "Kalimdar" || fail "window manager could not close the message box"
wait_window "$title"
close_and_expect_exit_zero
echo "exit code 0, both runs"
