#!/bin/sh
# Remakes docs/pcl5-fonts-and-forms.png, docs/pcl5-landscape-soft-font.png and
# docs/pcl5-dos-report.png: each job of tests/data/pcl5 on an A4 sheet at 300 dpi, zelmo-render's
# sheet (left) beside the reference interpreter's (right), a quarter of the size. Needs a build
# in ./build, ImageMagick, and the reference interpreter of the development machines (its path
# in REFERENCE); never part of the build or the tests.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
reference=${REFERENCE:-$root/../shared/reference/gpcl6}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for pair in fonts-and-forms:pcl5-fonts-and-forms landscape-soft-font:pcl5-landscape-soft-font \
    dos-report-layout-only:pcl5-dos-report; do
    job=$root/tests/data/pcl5/${pair%%:*}.pcl
    "$root/build/tools/zelmo-render" --printer 2480,3508,300 --out "$work/zelmo" "$job" >/dev/null
    "$reference" -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pbmraw -r300 -sPAPERSIZE=a4 -dFIXEDMEDIA \
        -sOutputFile="$work/reference.pbm" "$job"
    for sheet in "$work/zelmo/sheet-0001.pbm" "$work/reference.pbm"; do
        convert "$sheet" -filter Box -resize 25% -bordercolor '#999999' -border 2 "$sheet.png"
    done
    convert "$work/zelmo/sheet-0001.pbm.png" "$work/reference.pbm.png" +append -colors 8 \
        -depth 4 -strip "$root/docs/${pair#*:}.png"
    rm -rf "$work/zelmo"
done
