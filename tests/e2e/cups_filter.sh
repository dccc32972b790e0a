#!/usr/bin/env bash
# A CUPS server prints every job of a Zelmo queue through Zelmo: the filter, back end and queue
# command installed where the package puts them, a queue made by zelmo-cups-queue for a
# printer whose device keeps each job it is sent, and jobs sent with lp and by an IPP client as
# application/octet-stream. Every opening of the accounting program's jobs and a CP852 text job
# print (pages equal to the simulated printer's sheets, copies, page_log); junk, an empty and a
# truncated job are aborted with an ERROR: line and send nothing to the device; another queue
# of the server keeps CUPS's own handling; an archive queue files a PDF per job; a job larger
# than the filter's memory fails with an ERROR: line.
#
#   cups_filter.sh FILTER RENDER SAMPLE COMPARE ARTIFACTS LINUX_FILES
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"

[ $# -eq 6 ] || fail "usage: $0 FILTER RENDER SAMPLE COMPARE ARTIFACTS LINUX_FILES"
FILTER=$1 RENDER=$2 SAMPLE=$3 COMPARE=$4 artifacts=$5/cups-filter linux=$6
CUPSD=/usr/sbin/cupsd
PPD=/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd
require gs pdfinfo pdftotext iconv ipptool "$CUPSD" lpadmin lpstat runuser "$FILTER" "$RENDER" "$SAMPLE" "$COMPARE"
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
device=$cups/out/device
mkdir -p "$work/bin" "$device"
chmod 1777 "$device"

# A job larger than the filter may hold in memory, piped in: an ERROR: line, not a crash. (A
# sanitizer's shadow memory cannot live under such a limit.)
if ! grep -aq __asan_init "$FILTER"; then
    head -c $((300 << 20)) /dev/zero >"$work/huge.prn"
    (
        ulimit -v 400000
        "$FILTER" 1 clerk huge 1 "" <"$work/huge.prn" >"$work/huge.pdf" 2>"$work/huge.log"
    )
    code=$?
    rm -f "$work/huge.prn"
    [ $code -eq 1 ] && grep -q '^ERROR: Zelmo: .* / ' "$work/huge.log" ||
        fail "a huge job ended with $code: $(tail -3 "$work/huge.log")"
fi

# The package's files where it installs them: filter and back end in ServerBin, the queue
# command on the PATH; and a test device, keep:, that keeps every job it is sent.
private_server_bin "$cups/bin" "$FILTER"
rm "$cups/bin/backend"
mkdir "$cups/bin/backend"
ln -s /usr/lib/cups/backend/* "$cups/bin/backend/"
install -m 755 "$linux/zelmo-backend" "$cups/bin/backend/zelmo"
cat >"$cups/bin/backend/keep" <<EOF
#!/bin/sh
[ \$# -eq 0 ] && exit 0
cat \${6:-} >"$device/job-\$1"
EOF
chmod 755 "$cups/bin/backend/keep"
chmod -R go+rX "$cups/bin"
cp "$linux/zelmo-cups-queue" "$work/bin/"
export PATH=$work/bin:$PATH CUPS_SERVERBIN=$cups/bin
# A tool like the others: --help and --version answer, an option is never a queue's name.
zelmo-cups-queue --help 2>&1 | grep -q '^Użycie / usage: zelmo-cups-queue' || fail "zelmo-cups-queue --help"
[ "$(zelmo-cups-queue --version)" = "zelmo-cups-queue $("$FILTER" --version | sed 's/.* //')" ] ||
    fail "zelmo-cups-queue --version: $(zelmo-cups-queue --version 2>&1)"
zelmo-cups-queue --bogus keep:/ >/dev/null 2>&1
[ $? -eq 2 ] || fail "zelmo-cups-queue took an option for a queue's name"
port=$((20000 + RANDOM % 20000))
CUPSD_CONF_EXTRA="Listen 127.0.0.1:$port"
start_cupsd "$cups"

# Letter from the server's paper setting, where A4 is the default; the PPD's Letter at 600 dpi
# has 18 pt left and right and 36 pt top and bottom unprintable.
# A queue of that name from an earlier Zelmo, with a PPD, is made anew without one.
lpadmin -p Biuro -E -v keep:/ -P "$PPD" 2>/dev/null || fail "cannot make the earlier queue"
PAPERSIZE=letter zelmo-cups-queue Biuro keep:/ >"$work/queue.log" 2>&1 ||
    fail "zelmo-cups-queue failed: $(cat "$work/queue.log")"
grep -q 'gotowa / queue Biuro ready' "$work/queue.log" || fail "not ready: $(cat "$work/queue.log")"
# "Ready" only for what works: a printer that does not answer, a PPD that is not there.
while read -r expected queue args; do
    code=0
    zelmo-cups-queue "$queue" $args >"$work/queue.log" 2>&1 || code=$?
    [ $code -eq "$expected" ] && ! grep -q gotowa "$work/queue.log" ||
        fail "zelmo-cups-queue $queue $args ended $code: $(cat "$work/queue.log")"
done <<'EOF'
3 Daleko socket://127.0.0.1:1
1 Brak keep:/ /nie/ma.ppd
EOF
lpadmin -p Zwykla -E -v keep:/ -P "$PPD" 2>/dev/null || fail "cannot make an ordinary queue"
zelmo-cups-queue Archiwum "$cups/out/Wydruki biura" >/dev/null 2>&1 || fail "no archive queue"

# The job's openings the accounting program may use, and CP852 text with box drawing.
"$SAMPLE" --copies 2 "$work/Wydruk.prn" || fail "cannot write the sample job"
"$SAMPLE" "$work/raster.prn" || fail "cannot write the sample job"
{ printf '\033E\033&l1X' && cat "$work/raster.prn"; } >"$work/copies.prn"
{ printf '\033E\033&l100X\033E' && cat "$work/raster.prn"; } >"$work/copies100.prn"
{ printf '\033E\033*c1D\033E' && cat "$work/raster.prn"; } >"$work/fontid.prn"
{ printf '\033E\033&l0O\033&l26A' && cat "$work/raster.prn"; } >"$work/setup.prn"
printf 'Łódź ╔═╗ zażółć gęślą jaźń\r\n\f' | iconv -f UTF-8 -t CP852 >"$work/cp852.txt"
head -c 200000 /dev/urandom >"$work/junk.bin"
head -c 5000 "$work/raster.prn" >"$work/truncated.prn"
: >"$work/empty.prn"

cat >"$work/job-state.test" <<'EOF'
{ OPERATION Get-Job-Attributes
GROUP operation-attributes-tag
ATTR charset attributes-charset utf-8
ATTR naturalLanguage attributes-natural-language en
ATTR uri printer-uri $uri
ATTR integer job-id $job
ATTR keyword requested-attributes job-state
DISPLAY job-state
}
EOF
# An IPP client's job, typed application/octet-stream as a workstation's driverless client does.
cat >"$work/print-job.test" <<'EOF'
{ OPERATION Print-Job
GROUP operation-attributes-tag
ATTR charset attributes-charset utf-8
ATTR naturalLanguage attributes-natural-language en
ATTR uri printer-uri $uri
ATTR name requesting-user-name clerk
ATTR mimeMediaType document-format application/octet-stream
FILE $filename
STATUS successful-ok
DISPLAY job-id
}
EOF
# The state of job $1.
job_state() {
    ipptool -t -T 10 -d job="$1" "ipp://127.0.0.1:$port/printers/Biuro" "$work/job-state.test" \
        2>/dev/null | sed -n 's/.*job-state (enum) = //p'
}
# Whether job $1 has ended, whichever way.
ended() { case $(job_state "$1") in completed | aborted | canceled) return 0 ;; esac; return 1; }
# Sends file $1 to queue $2 with lp and more options; echoes the job id.
send_lp() {
    local file=$1 queue=$2
    shift 2
    LC_ALL=C lp -d "$queue" "$@" "$file" 2>&1 | sed -n 's/.*request id is .*-\([0-9]*\) .*/\1/p'
}
# Sends file $1 to Biuro as an IPP client does, typed application/octet-stream; echoes the id.
send_ipp() {
    ipptool -t -f "$1" "ipp://127.0.0.1:$port/printers/Biuro" "$work/print-job.test" 2>&1 |
        sed -n 's/.*job-id (integer) = //p' | head -1
}

# Every job the server printed or refused: name, how sent, the state it must end in.
declare -A id
while read -r name how expected; do
    case $how in
    lp) id[$name]=$(send_lp "$work/$name" Biuro) ;;
    lp-raw) id[$name]=$(send_lp "$work/$name" Biuro -o raw) ;;
    ipp) id[$name]=$(send_ipp "$work/$name") ;;
    esac
    [ -n "${id[$name]}" ] || fail "$name was not taken ($how)"
    wait_for 120 ended "${id[$name]}" || fail "$name did not end: $(job_state "${id[$name]}")"
    state=$(job_state "${id[$name]}")
    [ "$state" = "$expected" ] || fail "$name ($how) ended $state, not $expected"
done <<'EOF'
Wydruk.prn lp completed
copies.prn ipp completed
copies100.prn ipp completed
fontid.prn ipp completed
raster.prn ipp completed
setup.prn lp-raw completed
cp852.txt lp completed
junk.bin ipp aborted
junk.bin lp aborted
truncated.prn lp aborted
EOF

# The empty job: CUPS itself refuses it, with a reason, by lp and by IPP.
answer=$(LC_ALL=C lp -d Biuro "$work/empty.prn" 2>&1)
[[ $answer == *"No file"* ]] || fail "CUPS took an empty job by lp: $answer"
answer=$(ipptool -t -f "$work/empty.prn" "ipp://127.0.0.1:$port/printers/Biuro" "$work/print-job.test" 2>&1)
[[ $answer == *"No file"* ]] || fail "CUPS took an empty job by IPP: $answer"

# One ERROR: line for each refused job, naming what it looks like; the queue goes on.
for name in junk.bin truncated.prn; do
    lines=$(grep -c "^E .*\[Job ${id[$name]}\] Zelmo: .* / " "$cups/log/error_log")
    [ "$lines" -eq 1 ] || fail "$lines ERROR: lines for $name"
done
grep -q "^E .*\[Job ${id[junk.bin]}\] Zelmo: zadanie odrzucone: .* / job refused: .*binary" \
    "$cups/log/error_log" || fail "the junk's ERROR: line does not say it is binary data"
lpstat -p Biuro 2>/dev/null | grep -q disabled && fail "a refused job stopped the queue"

# What reached the device: one PDF for each printed job, none for the refused ones. The
# printer's queue numbers its jobs after the Zelmo queue's, in the same order.
wait_for 120 sh -c '[ -z "$(lpstat -o Biuro-druk 2>/dev/null)" ]' || fail "the printer's queue did not empty"
[ "$(ls "$device" | wc -l)" -eq 7 ] || fail "the device got $(ls "$device" | wc -l) jobs, not 7"
pages() { pdfinfo "$1" 2>/dev/null | awk '/^Pages:/ { print $2 }'; }
n=0
for kept in $(ls "$device" | sort -t- -k2 -n); do
    n=$((n + 1))
    strip_to_pdf "$device/$kept" "$work/out-$n.pdf"
done
"$RENDER" --printer 5100,6600,600,150,300,150,300 --out "$work/sheets" "$work/Wydruk.prn" \
    >/dev/null 2>&1 || fail "zelmo-render failed"
compare_pages "$work/out-1.pdf" 600 "$work/pages" "$work/sheets"
pdftotext "$work/out-1.pdf" - 2>/dev/null | grep -qF "FAKTURA 123" || fail "the PDF has no text layer"
for n in 2 3 4 5 6; do
    [ "$(pages "$work/out-$n.pdf")" -ge 2 ] || fail "job $n printed $(pages "$work/out-$n.pdf") pages"
done
pdftotext "$work/out-7.pdf" - 2>/dev/null | grep -qF "Łódź ╔═╗ zażółć gęślą jaźń" ||
    fail "CP852 text came out as: $(pdftotext "$work/out-7.pdf" - 2>/dev/null)"

# Bare text in Mazovia, the code page named as a job option.
printf 'Za\247\242\222\215 g\221\236l\206 ja\246\244\r\n\f' >"$work/mazovia.txt"
before=$(ls "$device" | wc -l)
mazovia_id=$(send_lp "$work/mazovia.txt" Biuro -o zelmo-code-page=Mazovia)
wait_for 120 ended "$mazovia_id" && wait_for 60 sh -c "[ \$(ls '$device' | wc -l) -gt $before ]" ||
    fail "the Mazovia job did not print: $(job_state "$mazovia_id")"
strip_to_pdf "$(ls -t "$device"/* | head -1)" "$work/mazovia.pdf"
pdftotext "$work/mazovia.pdf" - 2>/dev/null | grep -qF "Zażółć gęślą jaźń" ||
    fail "Mazovia text came out as: $(pdftotext "$work/mazovia.pdf" - 2>/dev/null)"

# Copies asked of CUPS are made by the printer's queue; both queues count them in page_log.
before=$(ls "$device" | wc -l)
copies_id=$(send_lp "$work/Wydruk.prn" Biuro -n 3)
wait_for 120 ended "$copies_id" && wait_for 60 sh -c "[ \$(ls '$device' | wc -l) -gt $before ]" ||
    fail "lp -n 3 did not print"
strip_to_pdf "$(ls -t "$device"/* | head -1)" "$work/copies3.pdf"
[ "$(pages "$work/copies3.pdf")" = 12 ] ||
    fail "lp -n 3 of a job of two pages times two gave $(pages "$work/copies3.pdf") pages"
grep -q "^Biuro root $copies_id .* total 12 " "$cups/log/page_log" ||
    fail "the Zelmo queue counted other than 12 pages: $(cat "$cups/log/page_log")"
grep -q "^Biuro-druk root .* total 12 " "$cups/log/page_log" ||
    fail "the printer's queue counted other than 12 pages: $(cat "$cups/log/page_log")"

# The mark of Zelmo's chain on the ordinary queue: none, CUPS sends raw PCL on unchanged.
plain_id=$(send_lp "$work/copies.prn" Zwykla)
wait_for 60 sh -c "[ -e '$device/job-$plain_id' ]" || fail "the ordinary queue printed nothing"
wait_for 60 sh -c "cmp -s '$work/copies.prn' '$device/job-$plain_id'" ||
    fail "the ordinary queue did not pass the PCL on unchanged"

# The archive queue: a PDF named by date, time, number and title, readable by all.
archive_id=$(send_lp "$work/Wydruk.prn" Archiwum -t "Faktura 7/2026")
wait_for 60 sh -c "ls '$cups/out/Wydruki biura/' | grep -q ' nr $archive_id Faktura 7_2026.pdf\$'" ||
    fail "no PDF in the archive: $(ls -la "$cups/out/Wydruki biura" 2>&1)"
filed=$(ls "$cups/out/Wydruki biura/"*" nr $archive_id "*.pdf)
[ "$(stat -c %a "$filed")" = 644 ] || fail "the archived PDF is $(stat -c %a "$filed"), not 644"
[ "$(pages "$filed")" = 4 ] || fail "the archived PDF has $(pages "$filed") pages"

# For the artifacts: every job and the state it ended in.
lpstat -l -W all -o >"$cups/log/jobs" 2>&1
echo "PASS"
