#!/bin/sh
# Renders the hicolor PNG sizes of the icon from zelmo.svg (Debian's librsvg2-bin), and from the
# same images Zelmo.exe's icon (icoutils): 16 to 48 px as bitmaps, which every Windows reads,
# 256 px as PNG, the form Explorer's large icons take. The files are kept in the repository so
# that a build needs no SVG renderer.
set -eu
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" zelmo.svg -o "zelmo-$size.png"
done
icotool -c -o ../../../shell/win32/zelmo.ico zelmo-16.png zelmo-24.png zelmo-32.png zelmo-48.png \
    -r zelmo-256.png
