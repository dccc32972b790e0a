#!/usr/bin/env bash
# A CUPS server prints the accounting program's jobs through zelmo-cups-filter: a queue made by
# zelmo-cups-queue over a file: device turns a job sent with lp, or by an IPP client over the
# network, into a PDF whose pages equal the simulated printer's sheets; CUPS makes the copies;
# a file that is no print job fails with an ERROR: line; the MIME rule leaves other PCL and PDF.
#
#   cups_filter.sh FILTER RENDER SAMPLE COMPARE ARTIFACTS LINUX_FILES
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"

[ $# -eq 6 ] || fail "usage: $0 FILTER RENDER SAMPLE COMPARE ARTIFACTS LINUX_FILES"
FILTER=$1 RENDER=$2 SAMPLE=$3 COMPARE=$4 artifacts=$5/cups-filter linux=$6
CUPSD=/usr/sbin/cupsd
PPD=/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd
require gs pdfinfo ipptool cupsfilter "$CUPSD" lpadmin lpstat "$FILTER" "$RENDER" "$SAMPLE" "$COMPARE"
[ -r "$PPD" ] || skip "$PPD is missing (cups-filters)"

work=$(mktemp -d)
CUPSD_PID=""
# Stops what the test started, by PID, and keeps the evidence.
cleanup() {
    stop_pid "$CUPSD_PID"
    mkdir -p "$artifacts"
    cp -r "$work/cups/log" "$work/cups/out" "$artifacts/" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
rm -rf "$artifacts"
cups=$work/cups
mkdir -p "$cups/conf" "$work/bin"
cp "$linux/zelmo.types" "$linux/zelmo.convs" "$cups/conf/"
cp "$linux/zelmo-cups-queue" "$work/bin/"
export PATH=$work/bin:$PATH
# Run by hand, an empty job and one that draws no page fail, send nothing on and say why.
: >"$work/empty.prn"
printf '\033E\033&l2X\033E' >"$work/pageless.prn"
for job in empty pageless; do
    "$FILTER" 1 clerk "$job" 1 "" "$work/$job.prn" >"$work/$job.pdf" 2>"$work/$job.log" &&
        fail "the $job job printed"
    [ ! -s "$work/$job.pdf" ] || fail "the $job job sent something on"
    grep -q '^ERROR: Zelmo: .* / .*[a-z]' "$work/$job.log" || fail "$job: $(cat "$work/$job.log")"
done

private_server_bin "$cups/bin" "$FILTER"
port=$((20000 + RANDOM % 20000))
CUPSD_CONF_EXTRA="Listen 127.0.0.1:$port"
start_cupsd "$cups"

# Jobs of the accounting program are claimed; ordinary drivers' PCL and PDF are not.
"$SAMPLE" --copies 2 "$work/Wydruk.prn" || fail "cannot write the sample job"
"$SAMPLE" "$work/plain.prn" || fail "cannot write the sample job"
gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=ljet4 -sOutputFile="$work/driver.pcl" \
    -c "/Helvetica findfont 20 scalefont setfont 72 72 moveto (Faktura) show showpage" ||
    fail "Ghostscript cannot make a PCL job"
gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -sOutputFile="$work/other.pdf" -c showpage
# The filters CUPS would run on file $1 to make PDF.
chain() { cupsfilter -c "$cups/conf/cups-files.conf" -m application/pdf --list-filters "$1" 2>&1; }
for job in Wydruk.prn plain.prn; do
    chain "$work/$job" | grep -qx zelmo-cups-filter || fail "$job is not claimed: $(chain "$work/$job")"
done
for other in driver.pcl other.pdf; do
    ! chain "$work/$other" | grep -q zelmo || fail "$other is claimed by zelmo's rule"
done

zelmo-cups-queue Biuro "file://$cups/out/biuro.pdf" >/dev/null 2>&1 || fail "zelmo-cups-queue failed"
lpstat -p Biuro >/dev/null 2>&1 || fail "zelmo-cups-queue made no queue"

# Waits until $1 jobs of Biuro have ended, whichever way.
wait_jobs() {
    wait_for 120 sh -c "[ \$(lpstat -W completed -o Biuro 2>/dev/null | wc -l) -ge $1 ]" ||
        fail "job $1 did not end: $(grep -v Get- "$cups/log/error_log" | tail -5)"
}
# Keeps what the file: device wrote for the last job as $1.
take() { strip_to_pdf "$cups/out/biuro.pdf" "$work/$1" && rm -f "$cups/out/biuro.pdf"; }
# Pages of PDF $1.
pages() { pdfinfo "$1" 2>/dev/null | awk '/^Pages:/ { print $2 }'; }

# The PPD's Letter at 600 dpi, 18 pt left and right and 36 pt top and bottom unprintable.
"$RENDER" --printer 5100,6600,600,150,300,150,300 --out "$work/sheets" "$work/Wydruk.prn" \
    >/dev/null 2>&1 || fail "zelmo-render failed"
lp -d Biuro "$work/Wydruk.prn" >/dev/null || fail "lp refused the job"
wait_jobs 1
take lp.pdf
compare_pages "$work/lp.pdf" 600 "$work/pages" "$work/sheets"
pdftotext "$work/lp.pdf" - 2>/dev/null | grep -qF "FAKTURA 123" || fail "the PDF has no text layer"

lp -d Biuro -n 3 "$work/Wydruk.prn" >/dev/null || fail "lp -n 3 refused the job"
wait_jobs 2
take copies.pdf
[ "$(pages "$work/copies.pdf")" = 12 ] ||
    fail "lp -n 3 of a job of two pages times two gave $(pages "$work/copies.pdf") pages"

# A PDF sent as the accounting program's job: refused, no page printed, the queue goes on
# to the next job.
lp -d Biuro -o document-format=application/vnd.zelmo-pcl "$work/other.pdf" >/dev/null ||
    fail "lp refused the junk job"
wait_for 120 sh -c "grep -q 'job refused: a PDF file' '$cups/log/error_log'" ||
    fail "no ERROR: line for the junk job: $(grep -v Get- "$cups/log/error_log" | tail -5)"
wait_for 60 grep -q 'Job 3.* Job stopped due to filter errors' "$cups/log/error_log" ||
    fail "the junk job did not fail"
[ ! -s "$cups/out/biuro.pdf" ] || fail "the junk job reached the printer"
lpstat -p Biuro 2>/dev/null | grep -q disabled && fail "the junk job stopped the queue"
# Each page counted once in CUPS's page log: pdftopdf counts them, the filter before it does not.
grep -q 'Biuro root 2 .* total 12 ' "$cups/log/page_log" ||
    fail "CUPS counted other than 12 pages: $(cat "$cups/log/page_log")"
# An IPP client over the network, as a workstation prints.
ipptool -tf "$work/Wydruk.prn" "ipp://127.0.0.1:$port/printers/Biuro" \
    /usr/share/cups/ipptool/print-job.test >"$work/ipptool.log" 2>&1 ||
    fail "ipptool could not print: $(tail -5 "$work/ipptool.log")"
wait_jobs 3
take ipp.pdf
compare_pages "$work/ipp.pdf" 600 "$work/pages" "$work/sheets"

# For the artifacts: every job and the state it ended in.
lpstat -l -W all -o Biuro >"$cups/log/jobs" 2>&1
echo "PASS"
