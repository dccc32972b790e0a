#!/usr/bin/env bash
# A job dropped beside zelmo comes out as a PDF whose pages equal, pixel for pixel, the sheets
# the simulated printer makes of the same job with the same geometry and settings.
#
#   print_to_cups.sh cups|pdf ZELMO RENDER SAMPLE_JOB_MAKER COMPARE ARTIFACTS [OPENING]
#
# OPENING: how the sample job begins after its reset (zelmo-sample's --opening); without it the
#          job opens with its copies command. cp852 and mazovia: a job of bare Polish text in that
#          code page instead (Zelmo.ini names Mazovia); junk: random bytes, set aside unprinted.
# cups: a private cupsd with a PDF queue (Letter, 600 dpi) as its default; the settings file
#       chooses the alternative engine (mirrored raster pages) and offsets.
# pdf:  no CUPS server at all: the built-in printer writes the PDF into "Wydruki"; and no display
#       either, so zelmo runs without a window and prints what it monitors and where it prints.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"

[ $# -eq 6 ] || [ $# -eq 7 ] || fail "usage: $0 cups|pdf ZELMO RENDER SAMPLE COMPARE ARTIFACTS [OPENING]"
mode=$1 ZELMO=$2 RENDER=$3 SAMPLE=$4 COMPARE=$5 artifacts=$6/$mode${7:+-$7}
job=${7:-sample}
case $job in
cp852 | mazovia | junk) sample_options=() ;;
*) job=sample sample_options=(--copies 2 ${7:+--opening "$7"}) ;;
esac
# Writes the job into file $1 as the accounting program would.
write_job() {
    case $job in
    sample) "$SAMPLE" "${sample_options[@]}" "$1" ;;
    cp852) printf 'Za\276\242\210\206 g\251\230l\245 ja\253\344\r\nKoniec.\r\n\f' >"$1" ;;
    mazovia) printf 'Za\247\242\222\215 g\221\236l\206 ja\246\244\r\nKoniec.\r\n\f' >"$1" ;;
    junk) head -c 100000 /dev/urandom >"$1" ;;
    esac
}
CUPSD=/usr/sbin/cupsd
PPD=/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd
require gs "$ZELMO" "$RENDER" "$SAMPLE" "$COMPARE"
if [ "$mode" = cups ]; then
    require "$CUPSD" lpadmin lpstat
    [ -r "$PPD" ] || skip "$PPD is missing (cups-filters)"
fi

work=$(mktemp -d)
zelmo_pid=""
CUPSD_PID=""
# Stops what the test started, by PID, and keeps the evidence.
cleanup() {
    stop_pid "$zelmo_pid"
    stop_pid "$CUPSD_PID"
    mkdir -p "$artifacts"
    cp -r "$work/app/Wydruki" "$work/out" "$work/cups/log" "$work/zelmo.log" "$artifacts/" \
        2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
rm -rf "$artifacts"
app=$work/app
install_zelmo "$app"
export HOME=$work/home QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

if [ "$mode" = cups ]; then
    start_cupsd "$work/cups"
    lpadmin -p ZelmoPDF -E -v "file://$work/cups/out/job.pdf" -P "$PPD" \
        -o PageSize=Letter -o Resolution=600dpi 2>/dev/null || fail "lpadmin cannot add the queue"
    lpadmin -d ZelmoPDF || fail "lpadmin cannot make the queue the default"
    # Letter at 600 dpi; the queue's PPD leaves 18 pt left and right, 36 pt top and bottom.
    grep -q '^\*ImageableArea Letter/Letter: "18 36 594 756"' "$PPD" ||
        fail "the PDF queue's margins are not the ones this test expects"
    geometry=5100,6600,600,150,300,150,300
    printf '; written by the test\n[User]\nUserX=25\nUserY=-10\nUserPE=1\nUserSM=0\n' \
        >"$app/Zelmo.ini"
    render_options=(--engine 1 --offset 2.5,-1.0 --copies-capable)
else
    # Nothing listens here, so the built-in PDF printer is chosen.
    export CUPS_SERVER=$work/no-cups.sock
    # A4 within an office laser printer's border of 1/6 inch (100 pixels at 600 dpi).
    geometry=4960,7016,600,100,100,100,100
    render_options=()
fi
if [ "$job" = mazovia ]; then
    printf '[Text]\nCodePage=Mazovia\n' >>"$app/Zelmo.ini"
    render_options+=(--code-page Mazovia)
fi

if [ "$mode" = cups ]; then
    "$app/zelmo" >"$work/zelmo.log" 2>&1 &
else
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$app/zelmo" >"$work/zelmo.log" 2>&1 &
fi
zelmo_pid=$!
# Two copies: CUPS makes them from the job's "copies", the PDF printer gets each page twice.
write_job "$app/Wydruk.prn" || fail "cannot write the job"

# Junk is set aside, saying what it looks like, and nothing reaches the printer.
if [ "$job" = junk ]; then
    wait_for 60 grep -q 'Odłożono .*dane binarne' "$app/Zelmo.log" ||
        fail "the junk was not set aside as binary data: $(cat "$app/Zelmo.log" 2>/dev/null)"
    if [ "$mode" = cups ]; then
        [ -z "$(lpstat -W all -o ZelmoPDF 2>/dev/null)" ] || fail "the junk reached CUPS: $(lpstat -W all -o)"
    else
        [ -z "$(ls -A "$app/Wydruki" 2>/dev/null)" ] || fail "the junk became a PDF: $(ls "$app/Wydruki")"
    fi
    stop_pid "$zelmo_pid"
    zelmo_pid=""
    echo "PASS: $mode junk"
    exit 0
fi

if [ "$mode" = cups ]; then
    # Done when a job completed, or when CUPS gave up on it.
    wait_for 120 sh -c "lpstat -W completed -o ZelmoPDF 2>/dev/null | grep -q . ||
        grep -q 'Job stopped' '$work/cups/log/error_log'"
    lpstat -W completed -o ZelmoPDF 2>/dev/null | grep -q . ||
        fail "no job completed in CUPS: $(grep -v Get-Jobs "$work/cups/log/error_log" | tail -5)"
    mkdir -p "$work/out"
    strip_to_pdf "$work/cups/out/job.pdf" "$work/out/job.pdf"
    pdf=$work/out/job.pdf
    # The queue's PJL header carries the job's name.
    grep -aq 'JOB NAME = "Kalvister II - wydruk.prn"' "$work/cups/out/job.pdf" ||
        fail "the CUPS job is not named after the document title"
else
    wait_for 120 sh -c "ls '$app/Wydruki/'*.pdf >/dev/null 2>&1" || fail "no PDF in Wydruki"
    pdf=$(ls "$app/Wydruki/"*.pdf | head -1)
    [ "$(ls -A "$app/Wydruki" | wc -l)" -eq 1 ] || fail "Wydruki holds more than one file"
fi

# The job was captured and, once printed, its queue file retired.
wait_for 30 sh -c "! ls '$app'/Zelmo*.Prn '$app/Wydruk.prn' >/dev/null 2>&1" ||
    fail "the job's file is still there: $(ls "$app")"

write_job "$work/sample.prn"
"$RENDER" --printer "$geometry" "${render_options[@]}" --out "$work/sheets" "$work/sample.prn" \
    >/dev/null || fail "zelmo-render failed"
# Bare text is real text in the PDF: each rasteriser hints the font its own way.
[ "$job" = sample ] || COMPARE_NEAR=3
compare_pages "$pdf" 600 "$work/pages" "$work/sheets"
# The text the job drew with its font can be searched and copied.
if command -v pdftotext >/dev/null; then
    text=$(pdftotext "$pdf" - 2>/dev/null)
    expected=("ZELMO 2026" "FAKTURA 123")
    [ "$job" = sample ] || expected=("Zażółć gęślą jaźń" "Koniec.")
    for line in "${expected[@]}"; do
        grep -qF "$line" <<<"$text" || fail "the PDF's text lacks \"$line\": $text"
    done
    # Nothing of the PDF folder's page lies in the printer's border: 100/600 inch = 12 points.
    # Bare text's font boxes reach above its ink, so there the ink itself is measured.
    if [ "$mode" = pdf ] && [ "$job" != sample ]; then
        gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=bbox "$pdf" 2>&1 | LC_ALL=C awk '
            /^%%HiResBoundingBox:/ { n++; if ($2 < 11.9 || $3 < 11.9 || $4 > 595.2 - 11.9 || $5 > 841.9 - 11.9) bad++ }
            END { exit !(n > 0 && bad == 0) }' ||
            fail "the PDF folder's page has ink in the border: $(gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=bbox "$pdf" 2>&1)"
    elif [ "$mode" = pdf ]; then
        # Its numbers have a dot: read them as the C locale does, not as the Polish one.
        pdftotext -bbox "$pdf" - 2>/dev/null | LC_ALL=C awk '
            /<page / { match($0, /width="[0-9.]+"/); w = substr($0, RSTART + 7, RLENGTH - 8) + 0
                       match($0, /height="[0-9.]+"/); h = substr($0, RSTART + 8, RLENGTH - 9) + 0 }
            /<word / { n++
                for (k = 1; k <= 4; k++) {
                    split("xMin yMin xMax yMax", key, " ")
                    match($0, key[k] "=\"[0-9.]+\""); v[k] = substr($0, RSTART + length(key[k]) + 2, RLENGTH - length(key[k]) - 3) + 0
                }
                if (v[1] < 11.9 || v[2] < 11.9 || v[3] > w - 11.9 || v[4] > h - 11.9) bad++ }
            END { exit !(n > 0 && bad == 0 && w > 595 && w < 596) }' ||
            fail "the PDF folder's page has text in the border or is not A4: $(pdftotext -bbox "$pdf" - | head -20)"
    fi
fi

# SIGTERM shuts zelmo down in order, and it says nothing on the way.
stop_pid "$zelmo_pid"
zelmo_pid=""
# Notifications come as lines stamped with their time.
if grep -v -e '^QStandardPaths' -e '^Monitorowany plik:' -e '^Wydruki na:' \
    -e '^\[[0-9:]\{8\}\] ' "$work/zelmo.log" |
    grep -q .; then
    fail "zelmo reported: $(cat "$work/zelmo.log")"
fi
if [ "$mode" = pdf ]; then
    [ "$(grep -c . "$work/zelmo.log")" -ge 2 ] &&
        [ "$(grep -cxF "Monitorowany plik: $app/Wydruk.prn" "$work/zelmo.log")" -eq 1 ] &&
        [ "$(grep -cxF "Wydruki na: Drukarka PDF (folder Wydruki)" "$work/zelmo.log")" -eq 1 ] &&
        ! grep -q 'Brak drukarki' "$app/Zelmo.log" &&
        [ "$(grep -c '\] Brak drukarki: ' "$work/zelmo.log")" -eq 1 ] ||
        fail "without a display zelmo printed: $(cat "$work/zelmo.log")"
fi
echo "PASS: $mode"
