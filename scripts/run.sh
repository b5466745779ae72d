#!/usr/bin/env bash
# Builds the program and starts it, with the sample dictionary beside the
# executable when no lx_items.db is there.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
# Only the program and the sample tool, with the test suite's options, so
# that scripts/test.sh, which shares build/, builds the rest and none of this
# again.
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALIMDAR_WERROR=ON -- kalimdar make_dictionary
"$root/scripts/sample_dictionary.sh" "$root/build" "$root/build/bin"
# Without a display Qt ends with a terse error of its own; say what is wrong.
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  {
    echo "run.sh: there is no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set)."
    echo "run.sh: run it from a desktop session or over ssh -X; the program is built in build/bin/kalimdar."
  } >&2
  exit 1
fi
exec "$root/build/bin/kalimdar"
