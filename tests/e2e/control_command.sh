#!/usr/bin/env bash
# The control command against a running console zelmo printing to its PDF folder: --status lists
# the jobs, --pause holds a printout until --resume, --print-again and --delete act on a job by
# number; exit 1 with no monitor, 2 on bad use, 3 when the monitor refuses; the socket is 0600
# and made again when it goes, and a client that connects and says nothing does not hold the
# others up.
#
#   control_command.sh ZELMO RENDER SAMPLE_JOB_MAKER COMPARE ARTIFACTS
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"

[ $# -eq 5 ] || fail "usage: $0 ZELMO RENDER SAMPLE COMPARE ARTIFACTS"
ZELMO=$1 SAMPLE=$3 artifacts=$5/control
require "$ZELMO" "$SAMPLE"

work=$(mktemp -d)
zelmo_pid="" quiet_pid=""
# Stops what the test started, by PID, and keeps the evidence.
cleanup() {
    stop_pid "$quiet_pid"
    stop_pid "$zelmo_pid"
    mkdir -p "$artifacts"
    cp "$work"/*.log "$work/kasa/Zelmo.log" "$artifacts/" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
rm -rf "$artifacts"
export HOME=$work/home XDG_RUNTIME_DIR=$work/run CUPS_SERVER=$work/no-cups.sock
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
install_zelmo "$work/bin"
zelmo=$work/bin/zelmo
dir=$work/kasa

# Runs the control command "$@" on the folder; its output in $work/out.log, errors in err.log.
control() {
    "$zelmo" --dir "$dir" "$@" >"$work/out.log" 2>"$work/err.log"
}
# Fails unless the control command "$@" exits with status $1.
expect_exit() {
    local want=$1
    shift
    control "$@"
    local got=$?
    [ $got -eq "$want" ] || fail "$* exited $got, not $want: $(cat "$work/out.log" "$work/err.log")"
}
# The job number --status shows for queue file $1 (a leftover goes by its file's number).
job_of() {
    control --status || fail "--status failed: $(cat "$work/err.log")"
    awk -F'\t' -v name="$1" '$2 == name { print $1 }' "$work/out.log"
}
# The number of PDFs printed so far.
pdfs() {
    ls "$dir/Wydruki/"*.pdf 2>/dev/null | wc -l
}
# True once more than $1 PDFs are printed.
printed_more_than() {
    [ "$(pdfs)" -gt "$1" ]
}

expect_exit 1 --status
[ ! -e "$dir" ] || fail "--status created the folder"
for bad in "--status --pause" "--delete" "--delete x" "--print-again 0" "--bogus"; do
    # shellcheck disable=SC2086
    expect_exit 2 $bad
done

# A file left from an earlier run, and one that holds no page (set aside, its file kept).
mkdir -p "$dir"
"$SAMPLE" "$dir/Zelmo7.Prn" || fail "cannot write the sample job"
"$zelmo" --headless --dir "$dir" --printer Wydruki >"$work/zelmo.log" 2>&1 &
zelmo_pid=$!
wait_for 30 test -S "$dir/Zelmo.sock" || fail "no control socket: $(cat "$work/zelmo.log")"
[ "$(stat -c %a "$dir/Zelmo.sock")" = 600 ] || fail "the socket's mode is $(stat -c %a "$dir/Zelmo.sock")"

# A client that connects and says nothing holds only its own connection.
if command -v perl >/dev/null; then
    perl -MIO::Socket::UNIX -e '$s = IO::Socket::UNIX->new(Peer => $ARGV[0]) or exit 1; sleep 30' \
        "$dir/Zelmo.sock" &
    quiet_pid=$!
fi

head -c 300 /dev/zero >"$work/junk"
cp "$work/junk" "$dir/Wydruk.prn"
wait_for 30 sh -c "'$zelmo' --dir '$dir' --status | grep -q 'odłożony'" ||
    fail "--status never showed the set-aside job: $(cat "$work/out.log" "$work/err.log")"
expect_exit 0 --status
grep -q $'^7\tZelmo7.Prn\t.*z poprzedniego uruchomienia' "$work/out.log" ||
    fail "--status does not list the leftover job: $(cat "$work/out.log")"
[ "$(grep -c $'\tZelmo[0-9]*.Prn\t' "$work/out.log")" -eq 2 ] || fail "--status lists: $(cat "$work/out.log")"
head -1 "$work/out.log" | grep -qx 'Monitorowanie: włączone' || fail "--status begins: $(head -1 "$work/out.log")"

# The leftover prints again on request; the set-aside one is deleted, a second time refused.
aside=$(awk -F'\t' '/odłożony/ { print $1 }' "$work/out.log")
[ -n "$aside" ] || fail "no set-aside job in: $(cat "$work/out.log")"
leftover=$(job_of Zelmo7.Prn)
[ -n "$leftover" ] || fail "no number for Zelmo7.Prn: $(cat "$work/out.log")"
expect_exit 0 --print-again "$leftover"
wait_for 60 printed_more_than 0 || fail "the job printed again made no PDF"
expect_exit 0 --delete "$aside"
expect_exit 3 --delete "$aside"
grep -q "$aside" "$work/err.log" || fail "the refusal does not name the job: $(cat "$work/err.log")"
expect_exit 3 --print-again 99999

# Printed, the job is kept in the store of printed jobs and prints again from there under its
# number; once its kept file is gone, the refusal says so in words.
again=$(job_of Zelmo7.Prn)
wait_for 30 test -f "$dir/Zelmo.printed/$again.prn" || fail "job $again is not kept: $(ls "$dir"/*)"
printed=$(pdfs)
expect_exit 0 --print-again "$again"
wait_for 60 printed_more_than "$printed" || fail "the finished job printed again made no PDF"
rm -f "$dir/Zelmo.printed/$again.prn"
expect_exit 3 --print-again "$again"
grep -q "nr $again nie można już wydrukować ponownie" "$work/err.log" ||
    fail "the refusal of a job no longer kept: $(cat "$work/err.log")"

# Paused, a printout is not printed; resumed, it is.
printed=$(pdfs)
expect_exit 0 --pause
expect_exit 0 --pause
expect_exit 0 --status
head -1 "$work/out.log" | grep -qx 'Drukowanie: wstrzymane (wydruki są przyjmowane)' || fail "paused, --status begins: $(head -1 "$work/out.log")"
"$SAMPLE" "$dir/Wydruk.prn" || fail "cannot write the sample job"
# Several ticks of the paused monitor: the printout must still wait.
sleep 2
[ "$(pdfs)" -eq "$printed" ] || fail "a printout was printed while paused"
expect_exit 0 --resume
wait_for 60 printed_more_than "$printed" || fail "the printout was not printed after --resume"

# The monitor is found by its lock whatever becomes of its socket file, which comes back; a link
# of that name to another folder's socket is replaced, never followed.
rm "$dir/Zelmo.sock"
expect_exit 0 --status
wait_for 10 test -S "$dir/Zelmo.sock" || fail "the control socket was not made again"
rm "$dir/Zelmo.sock" && mkdir "$dir/Zelmo.sock"
expect_exit 0 --status
rmdir "$dir/Zelmo.sock"
wait_for 10 test -S "$dir/Zelmo.sock" || fail "the control socket was not made again"

kill -0 "$zelmo_pid" 2>/dev/null || fail "zelmo ended"
stop_pid "$zelmo_pid"
zelmo_pid=""
[ ! -e "$dir/Zelmo.sock" ] || fail "the socket outlived zelmo"
expect_exit 1 --status
echo "PASS: control command"
