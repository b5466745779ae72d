#!/usr/bin/env bash
# Installs everything the project needs from Debian's packages. Quick when
# everything is already there.
set -euo pipefail

packages=(
  g++ cmake ninja-build ccache pkg-config
  clang libclang-rt-14-dev
  qt6-base-dev libgl-dev libsqlite3-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core hunspell-kk
  xvfb xauth openbox wmctrl xdotool imagemagick
  at-spi2-core python3-pyatspi
)

missing=()
for p in "${packages[@]}"; do
  status="$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)"
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
