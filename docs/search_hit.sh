#!/bin/sh
# Remakes docs/search-hit.png: the sample job printed by zelmo to its PDF folder, page 2
# rendered with pdftoppm, and the box a PDF reader highlights for "123" (from pdftotext -bbox)
# drawn over it. Needs a build in ./build, poppler-utils and ImageMagick.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/build/shell/zelmo" "$work/"
"$root/build/tools/zelmo-sample" "$work/Wydruk.prn"
(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY CUPS_SERVER=/nonexistent timeout 5 ./zelmo) \
    >/dev/null 2>&1 || true
pdf=$(ls "$work"/Wydruki/*.pdf)
pdftoppm -r 200 -f 2 -l 2 -x 0 -y 0 -W 360 -H 170 -png "$pdf" "$work/page"
box=$(pdftotext -f 2 -l 2 -bbox "$pdf" - | grep '>123<' |
    sed -E 's/.*xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)".*/\1 \2 \3 \4/' |
    LC_ALL=C awk '{ s = 200 / 72; printf "%d,%d %d,%d", $1*s-3, $2*s-3, $3*s+3, $4*s+3 }')
convert "$work"/page-2.png -fill 'rgba(255,200,0,0.45)' -stroke 'rgb(230,120,0)' -strokewidth 2 \
    -draw "rectangle $box" -gravity north -background '#e8e8e8' -splice 0x34 \
    -font DejaVu-Sans -pointsize 15 -fill black -stroke none \
    -annotate +0+8 'Szukaj: 123   (1 wynik, strona 2)' -bordercolor '#999' -border 1 \
    "$root/docs/search-hit.png"
