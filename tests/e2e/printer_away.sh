#!/usr/bin/env bash
# zelmo printing by name to a queue of a private cupsd that goes away and comes back. cupsd
# stopped while a job waits: the job waits for the printer (never written into the PDF folder),
# the user is told once each way, and it prints once when cupsd runs again. A disabled queue
# that still accepts jobs: the job is in the printer's queue, not printed, until the queue is
# enabled; only then is it reported printed. Canceled there meanwhile, it is sent again.
#
#   printer_away.sh ZELMO RENDER SAMPLE_JOB_MAKER COMPARE ARTIFACTS
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"

[ $# -eq 5 ] || fail "usage: $0 ZELMO RENDER SAMPLE COMPARE ARTIFACTS"
ZELMO=$1 SAMPLE=$3 artifacts=$5/printer-away
require_pdf_cups "$ZELMO" "$SAMPLE" cupsenable cupsdisable cupsreject cupsaccept cancel
begin_cups_test "$artifacts"
add_pdf_queue Biuro
log=$work/zelmo.log
# Counts the lines of zelmo's output that match $1.
told() { grep -c "$1" "$log"; }
# Drops a sample job into the monitored file and waits until zelmo has taken it.
drop_job() {
    "$SAMPLE" "$app/Wydruk.prn.tmp" && mv "$app/Wydruk.prn.tmp" "$app/Wydruk.prn"
    wait_for 30 test ! -e "$app/Wydruk.prn" || fail "the job was not captured: $(ls "$app")"
}

app=$work/app
mkdir -p "$app"
"$ZELMO" --headless --dir "$app" --printer Biuro >"$log" 2>&1 &
zelmo_pid=$!
wait_for 30 grep -q '^Wydruki na: Biuro' "$log" || fail "zelmo did not start: $(cat "$log")"

# cupsd goes away with a job waiting, and comes back.
stop_pid "$CUPSD_PID"
drop_job
wait_for 30 grep -q 'Drukarka niedostępna: .*Biuro' "$log" ||
    fail "the wait for the printer was not told: $(cat "$log")"
grep -q 'Drukarka niedostępna: System drukowania nie działa\.' "$log" ||
    fail "cupsd away was not told as the print system not running: $(cat "$log")"
sleep 8  # a try or two at the printer while it is away
grep -E 'Wydrukowano|Wysłano|Błąd wydruku|odłożony|PDF' "$log" &&
    fail "the job went somewhere while cupsd was away"
[ ! -e "$app/Wydruki" ] || fail "the PDF folder stood in for Biuro: $(ls -R "$app/Wydruki")"
start_cupsd "$work/cups"
wait_for 90 grep -q 'Wydrukowano: nr 1 (Zelmo1.Prn)' "$log" ||
    fail "the job did not print after cupsd came back: $(cat "$log")"
[ "$(told 'Drukarka niedostępna')" -eq 1 ] && [ "$(told 'Drukarka dostępna')" -eq 1 ] ||
    fail "the wait was not told once each way: $(cat "$log")"
wait_for 30 sh -c "[ \$(lpstat -W completed -o Biuro | wc -l) -eq 1 ]" ||
    fail "CUPS did not print it once: $(lpstat -W all -o)"
wait_for 10 test ! -e "$app/Zelmo1.Prn" || fail "left behind: $(ls "$app")"

# A disabled queue takes the job and holds it: in the printer's queue, not printed. (Queue file
# numbers may start again at 1 once the queue was empty, so the log lines are counted.)
cupsdisable Biuro || fail "cupsdisable failed"
drop_job
wait_for 30 sh -c "[ \$(grep -c 'W kolejce drukarki' '$app/Zelmo.log') -eq 2 ]" ||
    fail "the held job is not shown in the printer's queue: $(cat "$app/Zelmo.log")"
sleep 3
[ "$(told 'Wydrukowano')" -eq 1 ] || fail "a held job was reported printed: $(cat "$log")"
ls "$app"/Zelmo*.Prn >/dev/null 2>&1 || fail "the held job's file went before it printed"
# Canceled in CUPS: the job is ours again, a failed attempt, and goes back to the printer.
cancel -a Biuro || fail "cancel failed"
wait_for 30 sh -c "[ \$(grep -c 'W kolejce drukarki' '$app/Zelmo.log') -eq 3 ]" ||
    fail "the canceled job was not sent again: $(cat "$app/Zelmo.log")"
grep -q 'Błąd drukowania .*Zelmo.* (próba 1)' "$app/Zelmo.log" ||
    fail "the canceled job was not counted as a failed attempt: $(cat "$app/Zelmo.log")"
cupsenable Biuro || fail "cupsenable failed"
wait_for 60 sh -c "[ \$(grep -c 'Wydrukowano' '$log') -eq 2 ]" ||
    fail "the job was not reported printed once the queue ran: $(cat "$log")"
# CUPS printed two jobs (the page log has a line per printed job), the canceled one not among them.
[ "$(awk '{print $3}' "$work/cups/log/page_log" | sort -u | wc -l)" -eq 2 ] ||
    fail "not printed once: $(cat "$work/cups/log/page_log")"
wait_for 10 sh -c "! ls '$app'/Zelmo*.Prn >/dev/null 2>&1" || fail "left behind: $(ls "$app")"

# A queue that rejects jobs: the user reads that the printer is stopped, then the system's words.
cupsreject Biuro || fail "cupsreject failed"
drop_job
wait_for 30 grep -q 'Drukarka niedostępna: Drukarka jest zatrzymana, nie ma papieru' "$log" ||
    fail "the rejecting queue was not told in plain words: $(cat "$log")"
grep -A1 'Drukarka jest zatrzymana' "$log" | grep -q 'Komunikat systemu: ' ||
    fail "the system's message does not follow: $(cat "$log")"
cupsaccept Biuro || fail "cupsaccept failed"
wait_for 60 sh -c "[ \$(grep -c 'Wydrukowano' '$log') -eq 3 ]" ||
    fail "the job did not print once the queue accepted jobs: $(cat "$log")"
stop_pid "$zelmo_pid"
zelmo_pid=""
echo "PASS: printer away"
