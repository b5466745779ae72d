#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz and runs them,
# one after another.
#
#   scripts/fuzz.sh [seconds] [target...]
#       runs each target (all of them when none is named) for that many
#       seconds, 600 by default. The corpus of a target grows in
#       build-fuzz/corpus/<target> from its committed seeds in
#       fuzz/seeds/<target>; an input that breaks a property or crashes lands
#       in build-fuzz/ as <target>-crash-*, and the script stops there.
#   scripts/fuzz.sh --ci [target...]
#       what the test suite runs: every target from its committed seeds only,
#       from a fixed random seed for a fixed number of runs, so that the run
#       is the same every time (two to three minutes for all of them).
#   scripts/fuzz.sh --list
#       names the targets.
#
# Targets: packet_reader (data packets), sql_tokenizer (SQL text, table name,
# parameters, count statement), text_case (case mapping, case-blind
# comparison, UTF-8), dbx_properties (property lists from name=value lines),
# ini_file (the INI reader). A target's dictionary, when it has one, is
# fuzz/<target>.dict.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"

# Each target with its number of runs under --ci.
declare -A ci_runs=(
  [packet_reader]=1000000
  [sql_tokenizer]=40000
  [text_case]=150000
  [dbx_properties]=20000
  [ini_file]=50000
)
all_targets=(packet_reader sql_tokenizer text_case dbx_properties ini_file)

mode=timed
seconds=600
case "${1:-}" in
  --ci) mode=ci; shift ;;
  --list) printf '%s\n' "${all_targets[@]}"; exit 0 ;;
  ''|*[!0-9]*) ;;
  *) seconds="$1"; shift ;;
esac
targets=("$@")
((${#targets[@]})) || targets=("${all_targets[@]}")
for t in "${targets[@]}"; do
  if [[ -z "${ci_runs[$t]:-}" ]]; then
    echo "fuzz.sh: no target named '$t' (targets: ${all_targets[*]})" >&2
    exit 2
  fi
done

# Warnings are not errors here: clang warns of things the compiler of the
# test builds does not, in code the fuzzers only link.
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKALIMDAR_GUI=OFF -DKALIMDAR_BENCHMARKS=OFF -DBUILD_TESTING=OFF -DKALIMDAR_WERROR=OFF >/dev/null
cmake --build "$build" --target "${targets[@]/%/_fuzz}"

for t in "${targets[@]}"; do
  options=(-rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$build/$t-")
  [[ -f "$root/fuzz/$t.dict" ]] && options+=(-dict="$root/fuzz/$t.dict")
  started=$SECONDS
  if [[ "$mode" == ci ]]; then
    corpus="$(mktemp -d)"
    trap 'rm -rf "$corpus"' EXIT
    # Mutations drawn from traced comparisons (-use_cmp) make the run differ
    # from one time to the next; without them it repeats exactly.
    "$build/bin/${t}_fuzz" -seed=1 -runs="${ci_runs[$t]}" -use_cmp=0 "${options[@]}" "$corpus" "$root/fuzz/seeds/$t"
    rm -rf "$corpus"
  else
    corpus="$build/corpus/$t"
    mkdir -p "$corpus"
    "$build/bin/${t}_fuzz" -max_total_time="$seconds" "${options[@]}" "$corpus" "$root/fuzz/seeds/$t"
  fi
  echo "fuzz.sh: $t done in $((SECONDS - started)) s"
done
