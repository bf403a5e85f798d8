#!/usr/bin/env bash
# Installs the Debian packages slidetrack builds with, when they are missing, and
# configures and builds it in build/ (or $SLIDETRACK_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake g++ make pkg-config
  libopencv-core-dev libopencv-imgproc-dev libopencv-imgcodecs-dev libopencv-highgui-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
  liblodepng-dev libdeflate-dev zlib1g-dev libjpeg62-turbo-dev libxml2-dev
  googletest libgtest-dev ffmpeg xvfb xauth
  dpkg-dev file clang libclang-rt-14-dev clang-format
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "error: missing packages and not root; run: apt-get install ${missing[*]}" >&2
    exit 1
  fi
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

build_dir=${SLIDETRACK_BUILD_DIR:-build}
# SLIDETRACK_CMAKE_ARGS adds options, as CI's -DSLIDETRACK_WERROR=ON.
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release ${SLIDETRACK_CMAKE_ARGS:-}
cmake --build "$build_dir" -j "$(nproc)"
