#!/usr/bin/env bash
# zelmo against a private cupsd that first refuses jobs: the whole queue waits for the printer,
# tried again and again without counting attempts or setting anything aside, told once when
# the wait begins and once when it ends; the jobs print, in order, once the queue accepts them
# again, and nothing is left behind. Then the CUPS default changes while
# zelmo runs: it says so and the next job goes to the new default.
#
#   retry_and_default.sh ZELMO RENDER SAMPLE_JOB_MAKER COMPARE ARTIFACTS
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"

[ $# -eq 5 ] || fail "usage: $0 ZELMO RENDER SAMPLE COMPARE ARTIFACTS"
ZELMO=$1 SAMPLE=$3 artifacts=$5/retry
require_pdf_cups "$ZELMO" "$SAMPLE" cupsreject cupsaccept
begin_cups_test "$artifacts"
add_pdf_queue Ksiegowosc
add_pdf_queue Sekretariat
lpadmin -d Ksiegowosc || fail "lpadmin cannot set the default"
cupsreject Ksiegowosc || fail "cupsreject failed"

app=$work/app
mkdir -p "$app"
"$ZELMO" --headless --dir "$app" >"$work/zelmo.log" 2>&1 &
zelmo_pid=$!
wait_for 30 grep -q '^Wydruki na: Ksiegowosc' "$work/zelmo.log" ||
    fail "zelmo did not find the default: $(cat "$work/zelmo.log")"

# Two jobs while the queue refuses them: the queue waits for the printer, the second job behind
# the first.
for n in 1 2; do
    "$SAMPLE" --copies $n "$app/Wydruk.prn.tmp" && mv "$app/Wydruk.prn.tmp" "$app/Wydruk.prn"
    wait_for 30 test -e "$app/Zelmo$n.Prn" || fail "job $n was not captured: $(ls "$app")"
done
wait_for 30 grep -q 'Drukarka niedostępna: .*Ksiegowosc' "$work/zelmo.log" ||
    fail "the refusing printer was not reported: $(cat "$work/zelmo.log")"
# Three refused tries, then the queue still waits: nothing failed, printed or set aside.
wait_for 60 sh -c "[ \$(grep -c 'Create-Job server-error-not-accepting-jobs' \
    '$work/cups/log/access_log') -ge 3 ]" || fail "the printer was not tried again"
grep -E 'Wydrukowano|Błąd wydruku|odłożony' "$work/zelmo.log" &&
    fail "a job was printed, failed or set aside while the queue refused it"
cupsaccept Ksiegowosc || fail "cupsaccept failed"
wait_for 120 sh -c "grep -q 'Wydrukowano: nr 2 (Zelmo2.Prn)' '$work/zelmo.log'" ||
    fail "the jobs did not print after the queue came back: $(cat "$work/zelmo.log")"
[ "$(grep -o 'Wydrukowano: nr [0-9]* (Zelmo[0-9]*' "$work/zelmo.log" | tr '\n' ' ')" = \
    "Wydrukowano: nr 1 (Zelmo1 Wydrukowano: nr 2 (Zelmo2 " ] || fail "out of order: $(cat "$work/zelmo.log")"
wait_for 60 sh -c "[ \$(lpstat -W completed -o Ksiegowosc | wc -l) -eq 2 ]" ||
    fail "CUPS did not complete two jobs: $(lpstat -W all -o)"
[ "$(grep -c 'Drukarka niedostępna' "$work/zelmo.log")" -eq 1 ] &&
    [ "$(grep -c 'Drukarka dostępna' "$work/zelmo.log")" -eq 1 ] ||
    fail "the wait was not told once each way: $(cat "$work/zelmo.log")"
wait_for 10 sh -c "! ls '$app'/Zelmo*.Prn >/dev/null 2>&1" || fail "left behind: $(ls "$app")"

# Another default while zelmo runs: told, and the next job goes there.
lpadmin -d Sekretariat || fail "lpadmin cannot change the default"
wait_for 30 grep -q 'Zmiana drukarki: Wydruki na: Sekretariat' "$work/zelmo.log" ||
    fail "the new default was not followed: $(cat "$work/zelmo.log")"
"$SAMPLE" "$app/Wydruk.prn.tmp" && mv "$app/Wydruk.prn.tmp" "$app/Wydruk.prn"
wait_for 60 sh -c "lpstat -W completed -o Sekretariat | grep -q ." ||
    fail "no job on the new default: $(cat "$work/zelmo.log")"
wait_for 10 sh -c "! ls '$app'/Zelmo*.Prn >/dev/null 2>&1" || fail "left behind: $(ls "$app")"
stop_pid "$zelmo_pid"
zelmo_pid=""
! grep -q '^\(waiting\|printing\) ' "$app/Zelmo.queue" ||
    fail "the queue journal still holds jobs: $(cat "$app/Zelmo.queue")"
echo "PASS: retry and default"
