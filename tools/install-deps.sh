#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quillon need, skipping those already
# installed. Usage: tools/install-deps.sh [build|test]
set -euo pipefail

build_packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libmad0-dev
  qt6-base-dev qt6-svg-dev libgl-dev portaudio19-dev
)
test_packages=(
  clang-format clang libclang-rt-14-dev
  sox libsox-fmt-all libgsm-tools python3-mutagen lame mpg123
  xvfb xauth xdotool imagemagick ffmpeg fonts-dejavu-core
  desktop-file-utils shared-mime-info groff-base
)

wanted=("${build_packages[@]}")
if [ "${1:-build}" = "test" ]; then
  wanted+=("${test_packages[@]}")
fi

missing=()
for pkg in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}" >&2
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
