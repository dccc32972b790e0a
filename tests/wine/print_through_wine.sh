#!/usr/bin/env bash
# Zelmo.exe under Wine and Xvfb, in a fresh folder, prints a job written as Wydruk.prn through
# Wine's spooler and PostScript driver to a private cupsd whose queue (Letter, 600 dpi, the
# generic PDF model) writes what it gets into a file: the queue chosen with --printer, not the
# default one beside it. The PDF's pages, rasterised, must equal zelmo-render's sheets of the
# same job with the same geometry; the archive folder set in Zelmo.ini gets the same pages as a
# PDF named after the job. The job opens with the copies command, which the driver carries out.
# Then jobs with every other opening the accounting program may use, plain text in both Polish
# DOS code pages and junk follow through the same worker: each prints (junk is set aside with its
# reason) and the worker lives on. Then, with the cupsd gone, the next job fails on every attempt
# under a single failure box.
#   print_through_wine.sh WINE_RUN PREFIX ZELMO_EXE INSPECT_EXE RENDER SAMPLE COMPARE ARTIFACTS
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/common.sh"
[ $# -eq 8 ] || fail "usage: $0 WINE_RUN PREFIX ZELMO_EXE INSPECT_EXE RENDER SAMPLE COMPARE ARTIFACTS"
wine_run=$(realpath "$1") prefix=$2 zelmo=$3 inspect=$4 RENDER=$5 SAMPLE=$6 COMPARE=$7 artifacts=$8/wine-print
CUPSD=/usr/sbin/cupsd
PPD=/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd
require gs Xvfb convert "$CUPSD" lpadmin lpstat "$zelmo" "$RENDER" "$SAMPLE" "$COMPARE"
[ -r "$PPD" ] || skip "$PPD is missing (cups-filters)"

work=$(mktemp -d)
zelmo_pid="" CUPSD_PID="" xvfb_pid=""
# Stops what the test started, by PID, and keeps the evidence.
cleanup() {
    stop_pid "$zelmo_pid"
    "$wine_run" "$prefix" --stop-server
    stop_pid "$xvfb_pid"
    stop_pid "$CUPSD_PID"
    mkdir -p "$artifacts"
    cp -r "$work/out" "$work/cups/log" "$work/zelmo.log" "$work/zelmo-window.txt" "$app/Zelmo.log" "$artifacts/" \
        2>/dev/null || true
    ls -l "$app" >"$artifacts/folder.txt" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
rm -rf "$artifacts"
app="$work/Księgowość"
mkdir -p "$app" "$work/out"
cp "$zelmo" "$app/Zelmo.exe"
# ASCII: Zelmo.ini is in the ANSI code page, which on a Polish Windows (1250) has every Polish
# letter, and under Wine here (1252) has not.
archive="$work/Archiwum"
mkdir -p "$archive"  # Zelmo never makes the archive folder: an unmounted share must not become local
printf '[Archive]\r\nFolder=Z:%s\r\n' "${archive//\//\\}" >"$app/Zelmo.ini"

start_cupsd "$work/cups"
lpadmin -p ZelmoPDF -E -v "file://$work/cups/out/job.pdf" -P "$PPD" \
    -o PageSize=Letter -o Resolution=600dpi 2>/dev/null || fail "lpadmin cannot add the queue"
lpadmin -d ZelmoPDF || fail "lpadmin cannot make the queue the default"
# The chosen queue: the default's twin, so the default's geometry is the chosen one's.
lpadmin -p Druga -E -v "file://$work/cups/out/druga.pdf" -P "$PPD" \
    -o PageSize=Letter -o Resolution=600dpi 2>/dev/null || fail "lpadmin cannot add the second queue"

Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_for 10 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$(cat "$work/display")
"$wine_run" "$prefix" --stop-server
(cd "$app" && exec "$wine_run" "$prefix" ./Zelmo.exe --printer Druga) >"$work/zelmo.log" 2>&1 &
zelmo_pid=$!
# Two copies: the printer's own copy count, set before the document begins.
copies=2
"$SAMPLE" --copies "$copies" "$work/sample.prn" || fail "cannot write the sample job"
sleep 5
cp "$work/sample.prn" "$app/Wydruk.prn"
sleep 5
"$wine_run" "$prefix" "$inspect" layout >"$work/zelmo-window.txt" 2>&1 || true

wait_for 60 sh -c "lpstat -W completed -o Druga 2>/dev/null | grep -q . ||
    grep -q 'Job stopped' '$work/cups/log/error_log'"
lpstat -W completed -o Druga 2>/dev/null | grep -q . ||
    fail "no job completed in CUPS: $(grep -v Get-Jobs "$work/cups/log/error_log" | tail -5)"
! lpstat -W all -o ZelmoPDF 2>/dev/null | grep -q . || fail "the job went to the default printer"
grep -q "Druga" "$work/zelmo-window.txt" || fail "the window does not name the chosen printer"
strip_to_pdf "$work/cups/out/druga.pdf" "$work/out/job.pdf"
# The spooler named the document after the printer object's title.
grep -q 'Kalvister II - wydruk.prn' "$work/cups/log/page_log" "$work/cups/out/job.pdf" ||
    fail "the CUPS job is not named after the document title"
wait_for 30 sh -c "! ls '$app'/Zelmo*.Prn '$app/Wydruk.prn' >/dev/null 2>&1" ||
    fail "the job's file is still there: $(ls "$app")"

# The geometry Wine's driver reports for the queue, as the printer object will read it.
geometry=$("$wine_run" "$prefix" "$inspect" printer | tr -d '\r') || fail "Wine sees no default printer"
echo "Wine's default printer: $geometry"
"$RENDER" --printer "$geometry" --out "$work/sheets" "$work/sample.prn" >/dev/null ||
    fail "zelmo-render failed"
# Wine's PostScript driver does not clip to the printable area and the PDF queue keeps what
# lies in the margins, where paper shows nothing and the simulated printer clips: the margins
# are painted white before the pages are compared, pixel for pixel, inside the printable area.
IFS=, read -r width height dpi left top right bottom <<<"$geometry"
mkdir -p "$work/pages"
gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pgmraw -r"$dpi" -sOutputFile="$work/pages/page-%d.pgm" \
    "$work/out/job.pdf" || fail "Ghostscript cannot rasterise the printed PDF"
pages=$(ls "$work/pages" | wc -l) sheets=$(ls "$work/sheets" | wc -l)
[ "$sheets" -gt 0 ] && [ "$pages" -eq "$sheets" ] || fail "$pages pages printed, $sheets sheets rendered"
for ((n = 1; n <= pages; n++)); do
    convert "$work/pages/page-$n.pgm" -fill white \
        -draw "rectangle 0,0 $((left - 1)),$((height - 1))" \
        -draw "rectangle $((width - right)),0 $((width - 1)),$((height - 1))" \
        -draw "rectangle 0,0 $((width - 1)),$((top - 1))" \
        -draw "rectangle 0,$((height - bottom)) $((width - 1)),$((height - 1))" \
        "$work/pages/masked-$n.pgm" || fail "cannot mask page $n"
    "$COMPARE" "$work/pages/masked-$n.pgm" "$(printf '%s/sheet-%04d.pbm' "$work/sheets" "$n")" ||
        fail "page $n differs from zelmo-render's sheet inside the printable area"
done
# The archive's copy: one PDF, named by date, time, queue file and job number, with every page.
archived=("$archive"/*.pdf)
[ ${#archived[@]} -eq 1 ] && [ -f "${archived[0]}" ] || fail "not one PDF in the archive: $(ls -a "$archive" 2>&1)"
[[ $(basename "${archived[0]}") =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}\ [0-9]{2}-[0-9]{2}-[0-9]{2}\ Zelmo[0-9]+\ nr\ [0-9]+\.pdf$ ]] ||
    fail "the archived PDF is named $(basename "${archived[0]}")"
cp "${archived[0]}" "$work/out/archived.pdf"
mkdir -p "$work/archived"
gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pgmraw -r30 -sOutputFile="$work/archived/page-%d.pgm" \
    "$work/out/archived.pdf" || fail "Ghostscript cannot read the archived PDF"
# The archive keeps the document once; its copies are the printer's.
[ "$(ls "$work/archived" | wc -l)" -eq $((sheets / copies)) ] ||
    fail "the archived PDF has not $((sheets / copies)) pages"

# Each opening, through the worker that printed the first job: the font ID command, a raster
# resolution, page set-up, the copies command again (now with nothing to print before it is
# the whole job's), then plain text in CP852 and in Mazovia ("Zażółć gęślą jaźń"), and junk.
"$SAMPLE" "$work/plain.prn" || fail "cannot write the sample job"
{ printf '\033*c7D'; cat "$work/plain.prn"; } >"$work/font-id.prn"
{ printf '\033*t300R'; cat "$work/plain.prn"; } >"$work/raster.prn"
{ printf '\033&l0o26a0e66F'; cat "$work/plain.prn"; } >"$work/page-setup.prn"
{ printf '\033&l1X'; cat "$work/plain.prn"; } >"$work/copies-one.prn"
printf 'Za\276\242\210\206 g\251\230l\245 ja\253\344\r\nKoniec.\r\n\f' >"$work/cp852.prn"
printf 'Za\247\242\222\215 g\221\236l\206 ja\246\244\r\nKoniec.\r\n\f' >"$work/mazovia.prn"
printf '\000\000\000\000\377\376\001\002junk\000\000\000\000' >"$work/junk.prn"
completed() { lpstat -W completed -o Druga 2>/dev/null | wc -l; }
for job in font-id raster page-setup copies-one cp852 mazovia junk; do
    before=$(completed) asides=$(grep -c "Odłożono" "$app/Zelmo.log")
    wait_for 30 sh -c "! ls '$app/Wydruk.prn' >/dev/null 2>&1" || fail "the job before $job was not taken"
    cp "$work/$job.prn" "$app/Wydruk.prn"
    if [ "$job" = junk ]; then
        wait_for 60 sh -c "[ \$(grep -c 'Odłożono' '$app/Zelmo.log') -gt $asides ]" ||
            fail "junk was not set aside: $(tail -3 "$app/Zelmo.log")"
        grep "Odłożono" "$app/Zelmo.log" | tail -1 | grep -q "nie jest wydruk PCL ani tekst, lecz dane binarne" ||
            fail "junk was set aside without saying what it is: $(tail -1 "$app/Zelmo.log")"
    else
        wait_for 60 sh -c "[ \$(lpstat -W completed -o Druga 2>/dev/null | wc -l) -gt $before ]" ||
            fail "the job opening with $job did not print: $(tail -3 "$app/Zelmo.log")"
    fi
done
# The worker is still there: the last job prints.
before=$(completed)
cp "$work/plain.prn" "$app/Wydruk.prn"
wait_for 60 sh -c "[ \$(lpstat -W completed -o Druga 2>/dev/null | wc -l) -gt $before ]" ||
    fail "no job printed after the junk: $(tail -3 "$app/Zelmo.log")"

# With the print system gone, the next job fails on every attempt: one failure box says so, in
# Polish (the job, its capture, the next attempt) with the system's message last, and the
# retries after it add no other box: the one box follows the job to its latest attempt.
stop_pid "$CUPSD_PID"
CUPSD_PID=""
cp "$work/sample.prn" "$app/Wydruk.prn"
boxes() { "$wine_run" "$prefix" "$inspect" boxes | tr -d '\r'; }
wait_for 60 sh -c "'$wine_run' '$prefix' '$inspect' boxes | grep -q '^boxes 1'" ||
    fail "no failure box: $(boxes)"
sleep 12
boxes | tee "$work/out/failure-boxes.txt"
import -window root "$work/out/failure-box.png" 2>/dev/null
grep -qx "boxes 1" "$work/out/failure-boxes.txt" || fail "failure boxes stacked"
icon=$("$wine_run" "$prefix" "$inspect" icon | tr -d '\r')
[ "$icon" = "icon error" ] || fail "the tray shows $icon after failed attempts"
failures=$(grep -c "Błąd drukowania" "$app/Zelmo.log")
# Notepad before Windows 10 1903 reads the log only as UTF-8 with a byte-order mark and CR LF.
[ "$(head -c 3 "$app/Zelmo.log" | od -An -tx1 | tr -d ' ')" = efbbbf ] ||
    fail "Zelmo.log does not begin with a byte-order mark"
[ "$(grep -c $'\r$' "$app/Zelmo.log")" -eq "$(wc -l <"$app/Zelmo.log")" ] ||
    fail "Zelmo.log has lines without CR LF"
[ "$failures" -ge 2 ] || fail "$failures failed attempt(s) logged, so no retry came while the box was open"
grep -q "^box Nie udało się wydrukować zadania nr [0-9]* (pobranego o [0-9:]*, próba [0-9]*)\. .*\. Następna próba o [0-9:]*\..*Komunikat systemu: ..*" \
    "$work/out/failure-boxes.txt" ||
    fail "the box does not name the job, what failed in Polish, the next attempt, then why"
echo "PASS: printed through Wine's spooler"
