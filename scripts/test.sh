#!/usr/bin/env bash
# Builds and runs the whole test suite: once as released, once under
# AddressSanitizer and UndefinedBehaviorSanitizer (leaks count as failures).
# --quick skips the sanitizer build and the fuzzing runs.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
export QT_QPA_PLATFORM=offscreen

# The tree keeps the format in .clang-format (scripts/check_format.sh --fix
# applies it).
"$root/scripts/check_format.sh"

# Warnings are errors in the suite's builds (not in scripts/run.sh's).
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALIMDAR_WERROR=ON
ctest --test-dir "$root/build" --output-on-failure -j2

if [[ "${1:-}" != "--quick" ]]; then
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
  "$root/scripts/build.sh" "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DKALIMDAR_SANITIZE=ON -DKALIMDAR_BENCHMARKS=OFF \
    -DKALIMDAR_WERROR=ON
  ctest --test-dir "$root/build-asan" --output-on-failure -j2

  # Every libFuzzer target: a fixed run from its committed seeds.
  if command -v clang++ >/dev/null; then
    "$root/scripts/fuzz.sh" --ci
  else
    echo "clang++ not found: the fuzzing runs are skipped"
  fi
fi
