#!/usr/bin/env bash
# scripts/screenshot.sh [--scale=N] [--dark] [--error] [build-dir] [out.png] [search-text [mode]]
# photographs the program's window under a virtual X server with a window
# manager (default docs/screenshot.png), running from the build's bin folder
# with the sample dictionary beside it.
#   search-text  first clicks into the search box, types the text, picks the
#                match mode (0, 1 or 2) with the keyboard, presses "Іздеу" and
#                moves the grid's selection two rows down, as a user would;
#   --scale=N    runs the program at N times its size (QT_SCALE_FACTOR);
#   --dark       runs it with GNOME's dark palette (the GTK theme
#                Adwaita:dark through Qt's GTK platform theme);
#   --error      runs a copy of the program in an empty folder and
#                photographs the error box it opens at start instead.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
scale=1 dark="" error="" options=()
while [[ "${1:-}" == --* ]]; do
  case "$1" in
    --scale=*) scale="${1#--scale=}" ;;
    --dark) dark=1 ;;
    --error) error=1 ;;
    *) echo "screenshot.sh: unknown option $1" >&2; exit 2 ;;
  esac
  options+=("$1")
  shift
done
[[ "$scale" =~ ^[1-4]$ ]] || { echo "screenshot.sh: --scale takes 1 to 4" >&2; exit 2; }
build="${1:-$root/build}"
out="${2:-$root/docs/screenshot.png}"
search="${3:-}"
mode="${4:-0}"
if [[ -z "${KALIMDAR_IN_XVFB:-}" ]]; then
  "$root/scripts/sample_dictionary.sh" "$build" "$build/bin"
  KALIMDAR_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 $((900 * scale))x$((620 * scale))x24" \
    "$0" "${options[@]}" "$build" "$out" "$search" "$mode"
fi
export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 QT_SCALE_FACTOR="$scale"
if [[ -n "$dark" ]]; then export QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark; fi
program="$build/bin/kalimdar"
title="ORVEN Қазақ тілінің орфографиялық электрондық базасы"
if [[ -n "$error" ]]; then
  # A folder with the program and no lx_items.db: the start-up reports the
  # missing table in a box captioned "Kalimdar".
  empty="$(mktemp -d)"
  cp "$program" "$empty/"
  program="$empty/kalimdar"
  title="Kalimdar"
fi
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
for _ in $(seq 1 100); do wmctrl -m >/dev/null 2>&1 && break; sleep 0.1; done
"$program" &
app=$!
trap 'kill $app $wm 2>/dev/null || true; [[ -z "$error" ]] || rm -rf "$empty"' EXIT
id=""
for _ in $(seq 1 100); do
  id="$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1 || true)"
  [[ -n "$id" ]] && break
  sleep 0.1
done
[[ -n "$id" ]] || { echo "the window \"$title\" did not come up" >&2; exit 1; }
sleep 1
if [[ -n "$search" && -z "$error" ]]; then
  # Places in the window's client area, as designed: the search box at
  # (8, 12, 513 x 21), the button at (533, 12, 87 x 21), the grid at (8, 39);
  # on screen they are scale times as far.
  click() { xdotool mousemove --window "$id" $(($1 * scale)) $(($2 * scale)) click 1; sleep 0.5; }
  click 200 22                       # into the box: searches its (empty) text
  xdotool type --delay 80 "$search"
  xdotool key Tab                    # the box hands the focus to the radio group
  for ((i = 0; i < mode; ++i)); do xdotool key Right; done
  click 576 22                       # "Іздеу"
  click 100 70                       # the grid's first row
  xdotool key Down Down
  sleep 1
fi
import -frame -window "$id" "$out"
echo "window $id -> $out"
