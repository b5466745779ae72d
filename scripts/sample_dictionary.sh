#!/usr/bin/env bash
# Puts a sample dictionary lx_items.db into <dest-dir> when none is there,
# making it with the project's make_dictionary tool from the Kazakh hunspell
# word list. An existing lx_items.db is never touched.
# Usage: scripts/sample_dictionary.sh <build-dir> <dest-dir>
set -euo pipefail

if [ "$#" -ne 2 ]; then
  echo "usage: $0 <build-dir> <dest-dir>" >&2
  exit 2
fi
build_dir=$1
dest_dir=$2

if [ -e "$dest_dir/lx_items.db" ]; then
  exit 0
fi

cmake --build "$build_dir" --target make_dictionary
mkdir -p "$dest_dir"
"$build_dir/bin/make_dictionary" --out "$dest_dir/lx_items.db"
