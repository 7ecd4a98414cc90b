#!/usr/bin/env bash
# Renders the application icon's PNG sizes from resources/icons/quorvane.svg.
# Run after editing the SVG and commit the PNGs: the build only installs them,
# so building needs no SVG renderer.
set -euo pipefail
cd "$(dirname "$0")/../resources/icons"

if ! command -v rsvg-convert >/dev/null; then
  echo "rsvg-convert is missing: apt-get install librsvg2-bin" >&2
  exit 1
fi
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" quorvane.svg -o "quorvane-$size.png"
done
