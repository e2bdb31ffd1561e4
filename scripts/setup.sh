#!/usr/bin/env bash
# Installs the Debian packages TitleDeck needs (only those missing), then
# configures and builds it in ./build. Extra arguments go to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  g++ cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-translations-l10n libgl-dev
  libmagick++-dev libusb-1.0-0-dev libumockdev-dev umockdev
  libbenchmark-dev libyuv-dev libswscale-dev
  fonts-noto-cjk xvfb xauth clang-format librsvg2-bin
  clang libclang-rt-dev ccache
)
scripts/install-missing.sh "${packages[@]}"

# Warnings are errors in CI; elsewhere the build directory keeps what it was given.
extra=()
[ "${CI:-}" = "true" ] && extra+=(-DTD_WERROR=ON)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release "${extra[@]}" "$@"
cmake --build build -j"$(nproc)"
