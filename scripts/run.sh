#!/usr/bin/env bash
# Builds the program and starts it, with the sample dictionary beside the
# executable when no lx_items.db is there.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
"$root/scripts/sample_dictionary.sh" "$root/build" "$root/build/bin"
exec "$root/build/bin/kalimdar"
