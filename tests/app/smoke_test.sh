#!/usr/bin/env bash
# Starts the built program from a fresh folder under an X server, checks that
# its window comes up and stays up, closes it through the window manager as a
# user would, and expects exit code 0.
set -euo pipefail
program="$1"
# A real window on the X server, whatever the test run chose for the others.
export QT_QPA_PLATFORM=xcb
folder="$(mktemp -d)"
trap 'rm -rf "$folder"' EXIT
cp "$program" "$folder/kalimdar"

openbox >/dev/null 2>&1 &
wm=$!
trap 'kill $wm 2>/dev/null || true; rm -rf "$folder"' EXIT
for _ in $(seq 1 100); do
    if wmctrl -m >/dev/null 2>&1; then break; fi
    sleep 0.1
done

cd "$folder"
./kalimdar &
app=$!

title="ORVEN Қазақ тілінің орфографиялық электрондық базасы"
for _ in $(seq 1 300); do
    if wmctrl -l | grep -qF "$title"; then break; fi
    sleep 0.1
done
wmctrl -l | grep -qF "$title" || { echo "window did not come up"; kill $app; exit 1; }
sleep 2
kill -0 $app || { echo "program exited early"; exit 1; }

wmctrl -c "$title"
for _ in $(seq 1 300); do
    kill -0 $app 2>/dev/null || break
    sleep 0.1
done
if kill -0 $app 2>/dev/null; then echo "program did not exit after its window closed"; kill $app; exit 1; fi
wait $app
code=$?
echo "exit code $code"
exit $code
