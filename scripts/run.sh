#!/usr/bin/env bash
# Sets up and builds TitleDeck, then starts it connected to the virtual mixer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: run it under a virtual one with: xvfb-run -a build/src/titledeck --virtual-mixer" >&2
  exit 1
fi
exec build/src/titledeck --virtual-mixer "$@"
