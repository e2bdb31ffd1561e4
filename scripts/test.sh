#!/usr/bin/env bash
# Sets up and builds TitleDeck, then runs every test (ending with CTest's summary).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cd build
ctest --output-on-failure -j"$(nproc)"
