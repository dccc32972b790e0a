#!/bin/sh
# Renders the hicolor PNG sizes of the icon from zelmo.svg (Debian's librsvg2-bin); the PNGs are
# kept in the repository so that a build needs no SVG renderer.
set -eu
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" zelmo.svg -o "zelmo-$size.png"
done
