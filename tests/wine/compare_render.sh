#!/usr/bin/env bash
# The sheets zelmo-render.exe composes on Wine's own GDI equal, byte for byte, the sheets the
# portable build composes of the same jobs with the same settings.
#   compare_render.sh WINE_RUN PREFIX RENDER_EXE PORTABLE_RENDER PORTABLE_SAMPLE DATA_DIR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/common.sh"
wine_run=$1 prefix=$2 render_exe=$3 render=$4 sample=$5 data=$6
require "$render" "$sample" "$render_exe"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$sample" --copies 2 "$work/sample.prn" || fail "cannot write the sample job"
runs=0
# Renders the same arguments on both builds and compares every sheet file.
same() {
    local name=$1
    shift
    rm -rf "$work/portable" "$work/windows"
    "$render" --out "$work/portable" "$@" >/dev/null 2>&1
    local portable=$?
    "$wine_run" "$prefix" "$render_exe" --out "$work/windows" "$@" >/dev/null 2>&1
    local windows=$?
    [ "$portable" -eq "$windows" ] || fail "$name: exit status $portable here, $windows on Windows"
    diff -r "$work/portable" "$work/windows" >/dev/null ||
        fail "$name: the sheets differ: $(diff -rq "$work/portable" "$work/windows" | head -3)"
    local sheets
    sheets=$(ls "$work/portable" 2>/dev/null | wc -l)
    [ "$sheets" -gt 0 ] || fail "$name: no sheet to compare"
    echo "$name: $sheets sheets equal"
    runs=$((runs + 1))
}
for engine in 0 1 2; do
    same "sample, engine $engine" --engine "$engine" "$work/sample.prn"
    same "sample, engine $engine, offsets, single" --engine "$engine" --single --offset 3.5,-2.1 \
        --printer 5100,6600,600,150,300,150,300 "$work/sample.prn"
done
for test in 1 2 3; do
    same "test page $test" --test "$test" --printer 2550,3300,300,50,60,50,60
done
# Hostile inputs, one after another as consecutive jobs (endless copies would fill the disk).
hostile=()
for job in "$data"/regressions/*; do
    case "$job" in *endless-copies) ;; *) hostile+=("$job") ;; esac
done
same "hostile inputs" --printer 600,800,100 "${hostile[@]}"
# Other programs' PCL 5 jobs: their text is drawn from the fonts compiled into the program.
for job in "$data"/pcl5/*.pcl; do
    same "PCL 5 $(basename "$job")" "$job"
    same "PCL 5 $(basename "$job"), 600 dpi, offsets" --offset -1.5,2 --printer 4960,7016,600,100,100,100,100 "$job"
done
echo "PASS: $runs runs, every sheet equal"
