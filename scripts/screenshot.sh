#!/usr/bin/env bash
# scripts/screenshot.sh [build-dir] [out.png] [search-text [mode]]: photographs
# the program's window under a virtual X server with a window manager
# (default docs/screenshot.png), running from the build's bin folder with the
# sample dictionary beside it. With a search text, it first clicks into the
# search box, types the text, picks the match mode (0, 1 or 2) with the
# keyboard, presses "Іздеу" and moves the grid's selection two rows down, as a
# user would.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
out="${2:-$root/docs/screenshot.png}"
search="${3:-}"
mode="${4:-0}"
if [[ -z "${KALIMDAR_IN_XVFB:-}" ]]; then
  "$root/scripts/sample_dictionary.sh" "$build" "$build/bin"
  KALIMDAR_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 900x600x24" "$0" "$build" "$out" "$search" "$mode"
fi
export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
for _ in $(seq 1 100); do wmctrl -m >/dev/null 2>&1 && break; sleep 0.1; done
"$build/bin/kalimdar" &
app=$!
trap 'kill $app $wm 2>/dev/null || true' EXIT
title="ORVEN Қазақ тілінің орфографиялық электрондық базасы"
id=""
for _ in $(seq 1 100); do
  id="$(xdotool search --name "^$title\$" 2>/dev/null | head -n 1 || true)"
  [[ -n "$id" ]] && break
  sleep 0.1
done
[[ -n "$id" ]] || { echo "the window did not come up" >&2; exit 1; }
sleep 1
if [[ -n "$search" ]]; then
  # Places in the window's client area, as designed: the search box at
  # (8, 12, 513 x 21), the button at (533, 12, 87 x 21), the grid at (8, 39).
  click() { xdotool mousemove --window "$id" "$1" "$2" click 1; sleep 0.5; }
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
