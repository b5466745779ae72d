# x_session.sh: sourced by the process tests. Given $xvfb, $openbox and
# $wmctrl (paths, or <NAME>-NOTFOUND), it skips the test (exit 77) when one
# is missing, starts an X server of its own (Xvfb -displayfd, no display
# race) with a window manager, and offers: fail, wait_exit, poll, wm,
# has_window, wait_window and close_and_expect_exit_zero. $work is a fresh
# folder removed on exit with every process started here ($app_pid the
# program's).
#
# Every wait ends on the event it waits for (the X server reporting its
# display, the program ending) or polls where X offers no event to wait on
# (the window manager and a window showing up); each has a deadline of its
# own and fails with its own message.

missing=()
[[ -x "$xvfb" ]] || missing+=(Xvfb)
[[ -x "$openbox" ]] || missing+=(openbox)
[[ -x "$wmctrl" ]] || missing+=(wmctrl)
if ((${#missing[@]})); then
    printf -v names '%s, ' "${missing[@]}"
    echo "skipped: not found: ${names%, } (scripts/setup.sh installs them)"
    exit 77
fi

xvfb_seconds=30
wm_seconds=60
window_seconds=60
exit_seconds=60
title="ORVEN Қазақ тілінің орфографиялық электрондық базасы"

work="$(mktemp -d)"
xvfb_pid="" wm_pid="" app_pid="" timer_pid=""
cleanup() {
    local pid
    [[ -z "$timer_pid" ]] || kill -KILL "$timer_pid" 2>/dev/null || true
    for pid in "$app_pid" "$wm_pid" "$xvfb_pid"; do
        [[ -n "$pid" ]] || continue
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

fail() {
    echo "$1" >&2
    [[ -n "${2:-}" && -s "$2" ]] && { echo "--- $(basename "$2"):" >&2; tail -n 40 "$2" >&2; }
    exit 1
}

# wait_exit PID SECONDS: waits until the background process PID ends, but at
# most SECONDS. Returns 0 with its exit code in $exit_code if it ended, else 1.
# (wait -p needs bash 5.1 or later.)
exit_code=""
wait_exit() {
    local ended="" status=0
    sleep "$2" &
    timer_pid=$!
    wait -n -p ended "$1" "$timer_pid" || status=$?
    if [[ "$ended" == "$1" ]]; then
        # KILL, not TERM: a fresh child may not have dropped this shell's
        # traps yet, and would run the clean-up as its own.
        kill -KILL "$timer_pid" 2>/dev/null || true
        wait "$timer_pid" 2>/dev/null || true
    fi
    timer_pid=""
    [[ "$ended" == "$1" ]] || return 1
    exit_code=$status
}

# poll SECONDS PID COMMAND...: runs COMMAND every tenth of a second until it
# succeeds. Returns 1 when SECONDS pass first, 2 when the background process
# PID ends first (its exit code in $exit_code).
poll() {
    local deadline=$((SECONDS + $1)) pid="$2"
    shift 2
    until "$@" >/dev/null 2>&1; do
        wait_exit "$pid" 0.1 && return 2
        ((SECONDS < deadline)) || return 1
    done
}

# wmctrl converts window titles to the locale's encoding; the title is not
# ASCII, so it has to run in a UTF-8 locale whatever the caller's is.
wm() { LC_ALL=C.UTF-8 "$wmctrl" "$@"; }

# The X server picks a free display itself and writes its number to the
# pipe once it accepts connections.
mkfifo "$work/displayfd"
"$xvfb" -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
    3>"$work/displayfd" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
display=""
status=0
read -r -t "$xvfb_seconds" display <"$work/displayfd" || status=$?
if ((status > 128)); then
    fail "Xvfb did not start within $xvfb_seconds s" "$work/xvfb.log"
elif [[ ! "$display" =~ ^[0-9]+$ ]]; then
    status=0
    wait "$xvfb_pid" || status=$?
    xvfb_pid=""
    fail "Xvfb did not start: it exited with code $status" "$work/xvfb.log"
fi
export DISPLAY=":$display"
# A real window on the X server, whatever the test run chose for the others.
export QT_QPA_PLATFORM=xcb

"$openbox" --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
status=0
poll "$wm_seconds" "$wm_pid" wm -m || status=$?
case $status in
    1) fail "window manager did not come up within $wm_seconds s" "$work/openbox.log" ;;
    2) wm_pid=""; fail "window manager exited with code $exit_code before it came up" "$work/openbox.log" ;;
esac

# wait_window TITLE: waits until a window whose title holds TITLE is up.
has_window() { [[ "$(wm -l)" == *"$1"* ]]; }
wait_window() {
    local status=0
    poll "$window_seconds" "$app_pid" has_window "$1" || status=$?
    case $status in
        1) fail "window \"$1\" did not come up within $window_seconds s" ;;
        2) app_pid=""; fail "program exited with code $exit_code before window \"$1\" came up" ;;
    esac
}

# close_and_expect_exit_zero: closes the main window as a user would and
# expects the program to end with exit code 0.
close_and_expect_exit_zero() {
    wm -F -c "$title" || fail "window manager could not close the window"
    wait_exit "$app_pid" "$exit_seconds" ||
        fail "program did not exit within $exit_seconds s after its window closed"
    app_pid=""
    ((exit_code == 0)) || fail "program exited with code $exit_code"
}

