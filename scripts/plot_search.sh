#!/usr/bin/env bash
# scripts/plot_search.sh [build-dir] [out.png]: runs search_bench on sample
# dictionaries of 250,000, 750,000 and 1,500,000 rows, with and without the
# index on lx_word_upper, and draws the search time against the size (default docs/search_time.png); the benchmark's own
# output is kept beside the picture as <out>.txt.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
out="${2:-$root/docs/search_time.png}"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
"$build/bin/search_bench" --rows=250000,750000,1500000 --repetitions=5 \
    --filter='/mode0/(many|none)$|/mode2/few$' >"${out%.png}.txt"
python3 "$root/scripts/plot_search.py" "${out%.png}.txt" "$out"
echo "$out"
