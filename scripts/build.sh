#!/usr/bin/env bash
# scripts/build.sh <build-dir> [cmake options...]: configures (once) and builds.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift
cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
ninja -C "$dir"
