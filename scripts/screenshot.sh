#!/usr/bin/env bash
# scripts/screenshot.sh [build-dir] [out.png]: photographs the program's window
# under a virtual X server with a window manager (default docs/screenshot.png).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
out="${2:-$root/docs/screenshot.png}"
if [[ -z "${KALIMDAR_IN_XVFB:-}" ]]; then
  KALIMDAR_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 900x600x24" "$0" "$build" "$out"
fi
openbox >/dev/null 2>&1 &
wm=$!
for _ in $(seq 1 100); do wmctrl -m >/dev/null 2>&1 && break; sleep 0.1; done
"$build/bin/kalimdar" &
app=$!
trap 'kill $app $wm 2>/dev/null || true' EXIT
title="ORVEN Қазақ тілінің орфографиялық электрондық базасы"
for _ in $(seq 1 100); do wmctrl -l | grep -qF "$title" && break; sleep 0.1; done
sleep 1.5
id="$(wmctrl -l | grep -F "$title" | awk '{print $1}')"
import -window root -crop 720x520+0+0 "$out"
echo "window $id -> $out"
