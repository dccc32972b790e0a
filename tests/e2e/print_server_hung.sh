#!/usr/bin/env bash
# zelmo following the default of a private cupsd that stops answering (kill -STOP: alive, its
# socket open, never a word back). Three printouts written 5 s apart are all captured, the
# control command answers, the user is told that the printer does not answer; once cupsd goes
# on, each job prints once. A job that was in the printer's queue when zelmo was killed is asked
# about at the next start: completed there, it is printed, not set aside.
#
#   print_server_hung.sh ZELMO RENDER SAMPLE_JOB_MAKER COMPARE ARTIFACTS
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"

[ $# -eq 5 ] || fail "usage: $0 ZELMO RENDER SAMPLE COMPARE ARTIFACTS"
ZELMO=$1 SAMPLE=$3 artifacts=$5/print-server-hung
require_pdf_cups "$ZELMO" "$SAMPLE" cupsenable cupsdisable
begin_cups_test "$artifacts"
add_pdf_queue Biuro
lpadmin -d Biuro || fail "lpadmin cannot make Biuro the default"
log=$work/zelmo.log
app=$work/app
mkdir -p "$app"
# Counts the lines of zelmo's output that match $1.
told() { grep -c "$1" "$log"; }
# Writes a sample job into the monitored file, as the accounting program does.
write_job() { "$SAMPLE" "$app/Wydruk.prn.tmp" && mv "$app/Wydruk.prn.tmp" "$app/Wydruk.prn"; }
# Counts the jobs CUPS completed.
completed() { lpstat -W completed -o Biuro | wc -l; }
start_zelmo() {
    "$ZELMO" --headless --dir "$app" >>"$log" 2>&1 &
    zelmo_pid=$!
}

start_zelmo
wait_for 30 grep -q '^Wydruki na: Biuro' "$log" || fail "zelmo did not start: $(cat "$log")"

# The server hangs: capture and the control channel go on, the printer is waited for.
kill -STOP "$CUPSD_PID"
for n in 1 2 3; do
    write_job
    [ $n -lt 3 ] && sleep 5
done
wait_for 60 sh -c "[ \$(grep -c 'Przyjęto zadanie' '$app/Zelmo.log') -eq 3 ]" ||
    fail "not every printout was captured while cupsd hung: $(cat "$app/Zelmo.log")"
status=$(timeout 20 "$ZELMO" --dir "$app" --status) || fail "--status did not answer: $status"
echo "$status" | grep -q 'Zelmo3.Prn' || fail "--status does not list the third job: $status"
wait_for 60 grep -q 'Drukarka niedostępna: Drukarka nie odpowiada' "$log" ||
    fail "the silent print server was not told: $(cat "$log")"
grep -E 'Wydrukowano|odłożony|PDF' "$log" && fail "a job went somewhere while cupsd hung"
[ ! -e "$app/Wydruki" ] || fail "the PDF folder stood in for Biuro: $(ls -R "$app/Wydruki")"

# The server goes on: every job prints once, and the wait is over.
kill -CONT "$CUPSD_PID"
wait_for 180 sh -c "[ \$(grep -c 'Wydrukowano' '$log') -eq 3 ]" ||
    fail "the jobs did not all print once cupsd went on: $(cat "$log")"
[ "$(completed)" -eq 3 ] || fail "CUPS did not print each job once: $(lpstat -W all -o)"
[ "$(told 'Drukarka niedostępna')" -eq 1 ] && [ "$(told 'Drukarka dostępna')" -eq 1 ] ||
    fail "the wait was not told once each way: $(cat "$log")"

# Killed while its job waits in a disabled queue, zelmo asks about it at the next start:
# printed there meanwhile, it is printed, never set aside to be printed a second time.
cupsdisable Biuro || fail "cupsdisable failed"
write_job
wait_for 30 grep -q ' Biuro$' "$app/Zelmo.queue" ||
    fail "the job in the printer's queue is not in the journal: $(cat "$app/Zelmo.queue")"
wait_for 30 grep -q 'Drukarka niedostępna: Drukarka jest zatrzymana.*Komunikat systemu: .*printer-stopped' "$log" ||
    fail "the job held in the stopped queue was not told with the system's reason: $(cat "$log")"
kill -9 "$zelmo_pid"
wait "$zelmo_pid" 2>/dev/null
cupsenable Biuro || fail "cupsenable failed"
wait_for 60 sh -c "[ \$(lpstat -W completed -o Biuro | wc -l) -eq 4 ]" ||
    fail "CUPS did not print the job: $(lpstat -W all -o)"
start_zelmo
wait_for 30 sh -c "[ \$(grep -c 'Wydrukowano' '$log') -eq 4 ]" ||
    fail "the job CUPS printed was not told printed after the restart: $(cat "$log")"
grep -q 'odłożony' "$log" && fail "the printed job was set aside: $(cat "$log")"
wait_for 10 sh -c "! ls '$app'/Zelmo*.Prn >/dev/null 2>&1" || fail "left behind: $(ls "$app")"

# A default whose device cannot be reached: the job stays "processing" in CUPS while its backend
# retries; the user is told once, with the backend's words, and once when it printed after all.
lpadmin -p Off -E -v socket://127.0.0.1:9 -P "$PDF_PPD" 2>/dev/null || fail "lpadmin cannot add Off"
lpadmin -d Off || fail "lpadmin cannot make Off the default"
wait_for 30 grep -q 'Wydruki na: Off' "$log" || fail "the new default was not followed: $(cat "$log")"
away=$(told 'Drukarka niedostępna') back=$(told 'Drukarka dostępna')
write_job
wait_for 120 grep -q 'Drukarka niedostępna: Drukarka nie odpowiada.*Off.*Komunikat systemu: .*CUPS job' "$log" ||
    fail "the unreachable printer was not told with the system's words: $(cat "$log")"
cupsdisable Off && lpadmin -p Off -v "file://$work/cups/out/Off.pdf" && cupsenable Off ||
    fail "cannot give Off a device"
wait_for 120 sh -c "[ \$(grep -c 'Wydrukowano' '$log') -eq 5 ]" ||
    fail "the job did not print once Off could be reached: $(cat "$log")"
wait_for 10 sh -c "[ \$(grep -c 'Drukarka dostępna' '$log') -eq $((back + 1)) ]" ||
    fail "the end of the wait was not told: $(cat "$log")"
[ "$(told 'Drukarka niedostępna')" -eq $((away + 1)) ] || fail "told more than once: $(cat "$log")"
stop_pid "$zelmo_pid"
zelmo_pid=""
echo "PASS: print server hung"
