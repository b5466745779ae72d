#!/usr/bin/env bash
# Builds the packet reader's fuzzer with clang in build-fuzz and runs it for
# the given number of seconds (default 60). The corpus grows in
# build-fuzz/fuzz-corpus from the committed seeds in fuzz/seeds; crash inputs
# land in build-fuzz/ as crash-* files.
#   scripts/fuzz.sh --ci   a fixed number of runs from a fixed random seed,
#                          starting from the committed seeds only, so that the
#                          test suite's run is the same every time.
set -euo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKALIMDAR_GUI=OFF -DKALIMDAR_BENCHMARKS=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target packet_reader_fuzz

if [[ "$seconds" == "--ci" ]]; then
  corpus="$(mktemp -d)"
  trap 'rm -rf "$corpus"' EXIT
  "$build/bin/packet_reader_fuzz" -seed=1 -runs=1000000 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$build/" "$corpus" "$root/fuzz/seeds"
  exit
fi

corpus="$build/fuzz-corpus"
mkdir -p "$corpus"
"$build/bin/packet_reader_fuzz" -max_total_time="$seconds" -rss_limit_mb=4096 -print_final_stats=1 \
  -artifact_prefix="$build/" "$corpus" "$root/fuzz/seeds"
