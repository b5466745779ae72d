#!/usr/bin/env bash
# scripts/build.sh <build-dir> [cmake options...] [-- targets...]: configures
# (once) and builds the targets named after "--", or everything.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift
options=()
while (($#)) && [[ "$1" != "--" ]]; do options+=("$1"); shift; done
(($#)) && shift
cmake -S "$root" -B "$dir" -G Ninja "${options[@]}" >/dev/null
ninja -C "$dir" "$@"
