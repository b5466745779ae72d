#!/usr/bin/env bash
# scripts/check_format.sh [--fix]: checks that every C++ file in git keeps
# the format in .clang-format; --fix rewrites the files that do not.
# Without clang-format it says so and passes, so that a machine without it
# can still run the suite.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
if ! command -v clang-format >/dev/null; then
  echo "check_format.sh: clang-format not found, the format check is skipped (scripts/setup.sh installs it)"
  exit 0
fi
# Other major versions break some lines differently; the tree is kept in the
# format of Debian 12's clang-format 14.
if ! clang-format --version | grep -q 'version 14\.'; then
  echo "check_format.sh: $(clang-format --version) is not version 14, the format check is skipped"
  exit 0
fi
if ! git rev-parse --git-dir >/dev/null 2>&1; then
  echo "check_format.sh: not a git checkout, the format check is skipped"
  exit 0
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [[ "${1:-}" == "--fix" ]]; then
  clang-format -i --style=file "${files[@]}"
  exit 0
fi
bad=()
for f in "${files[@]}"; do
  clang-format --style=file "$f" | cmp -s - "$f" || bad+=("$f")
done
if ((${#bad[@]})); then
  echo "check_format.sh: these files do not keep the format in .clang-format:" >&2
  printf '  %s\n' "${bad[@]}" >&2
  echo "check_format.sh: run scripts/check_format.sh --fix" >&2
  exit 1
fi
echo "check_format.sh: ${#files[@]} files keep the format"
