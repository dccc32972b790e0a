#!/usr/bin/env bash
# Zelmo.exe under Wine and Xvfb, in a fresh folder, prints a job written as Wydruk.prn through
# Wine's spooler and PostScript driver to a private cupsd whose default queue (Letter, 600 dpi,
# the generic PDF model) writes what it gets into a file. The PDF's pages, rasterised, must
# equal zelmo-render's sheets of the same job with the same geometry.
#   print_through_wine.sh WINE_RUN PREFIX ZELMO_EXE RENDER SAMPLE COMPARE ARTIFACTS
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/common.sh"
[ $# -eq 7 ] || fail "usage: $0 WINE_RUN PREFIX ZELMO_EXE RENDER SAMPLE COMPARE ARTIFACTS"
wine_run=$1 prefix=$2 zelmo=$3 RENDER=$4 SAMPLE=$5 COMPARE=$6 artifacts=$7/wine-print
CUPSD=/usr/sbin/cupsd
PPD=/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd
require gs Xvfb "$CUPSD" lpadmin lpstat "$zelmo" "$RENDER" "$SAMPLE" "$COMPARE"
[ -r "$PPD" ] || skip "$PPD is missing (cups-filters)"

work=$(mktemp -d)
zelmo_pid="" CUPSD_PID="" xvfb_pid=""
# Stops what the test started, by PID, and keeps the evidence.
cleanup() {
    stop_pid "$zelmo_pid"
    stop_pid "$xvfb_pid"
    stop_pid "$CUPSD_PID"
    mkdir -p "$artifacts"
    cp -r "$work/out" "$work/cups/log" "$work/zelmo.log" "$artifacts/" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
rm -rf "$artifacts"
app="$work/Księgowość"
mkdir -p "$app" "$work/out"
cp "$zelmo" "$app/Zelmo.exe"

start_cupsd "$work/cups"
lpadmin -p ZelmoPDF -E -v "file://$work/cups/out/job.pdf" -P "$PPD" \
    -o PageSize=Letter -o Resolution=600dpi 2>/dev/null || fail "lpadmin cannot add the queue"
lpadmin -d ZelmoPDF || fail "lpadmin cannot make the queue the default"
geometry=5100,6600,600,150,300,150,300

display=:$((60 + RANDOM % 200))
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
(cd "$app" && exec "$wine_run" "$prefix" ./Zelmo.exe) >"$work/zelmo.log" 2>&1 &
zelmo_pid=$!
"$SAMPLE" "$work/sample.prn" || fail "cannot write the sample job"
sleep 5
cp "$work/sample.prn" "$app/Wydruk.prn"

wait_for 180 sh -c "lpstat -W completed -o ZelmoPDF 2>/dev/null | grep -q . ||
    grep -q 'Job stopped' '$work/cups/log/error_log'"
lpstat -W completed -o ZelmoPDF 2>/dev/null | grep -q . ||
    fail "no job completed in CUPS: $(grep -v Get-Jobs "$work/cups/log/error_log" | tail -5)"
strip_to_pdf "$work/cups/out/job.pdf" "$work/out/job.pdf"
# The spooler named the document after the printer object's title.
grep -q 'Kalvister II - wydruk.prn' "$work/cups/log/page_log" "$work/cups/out/job.pdf" ||
    fail "the CUPS job is not named after the document title"
wait_for 30 sh -c "! ls '$app'/Zelmo*.Prn '$app/Wydruk.prn' >/dev/null 2>&1" ||
    fail "the job's file is still there: $(ls "$app")"

"$RENDER" --printer "$geometry" --out "$work/sheets" "$work/sample.prn" >/dev/null ||
    fail "zelmo-render failed"
compare_pages "$work/out/job.pdf" 600 "$work/pages" "$work/sheets"
echo "PASS: printed through Wine's spooler"
