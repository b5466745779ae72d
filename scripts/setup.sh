#!/usr/bin/env bash
# Installs everything the project needs from Debian's packages. Quick when
# everything is already there.
set -euo pipefail

packages=(
  g++ cmake ninja-build ccache pkg-config clang-format
  clang libclang-rt-14-dev
  qt6-base-dev libgl-dev libsqlite3-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core hunspell-kk
  xvfb xauth openbox wmctrl xdotool imagemagick dpkg-dev qt6-gtk-platformtheme
  at-spi2-core python3-pyatspi
)

missing=()
for p in "${packages[@]}"; do
  status="$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)"
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then
    if ! command -v sudo >/dev/null; then
      # Without root and without sudo nothing can be installed from here:
      # say what is missing and what root has to run.
      {
        echo "setup.sh: missing packages: ${missing[*]}"
        echo "setup.sh: this user is not root and sudo is not available; as root, run:"
        echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}"
      } >&2
      exit 1
    fi
    sudo_cmd=(sudo)
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
