#!/usr/bin/env bash
# Renders the program's icon (src/resources/icons/titledeck.svg) to the PNG sizes
# the program carries (Qt here has no SVG support). Needs ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/../src/resources/icons"
for size in 16 24 32 48 64 128; do
  convert -background none -density 600 titledeck.svg -resize "${size}x${size}" \
    -strip "titledeck-$size.png"
done
