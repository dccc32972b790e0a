#!/usr/bin/env bash
# The real binary's command line: --help and --version exit 0, an unknown option prints the
# usage and exits 2, --dir puts every file in the named folder, a second zelmo on that folder
# says so and exits, and a display that cannot be opened leaves zelmo running in the console.
#
#   command_line.sh ZELMO RENDER SAMPLE_JOB_MAKER COMPARE ARTIFACTS
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"

[ $# -eq 5 ] || fail "usage: $0 ZELMO RENDER SAMPLE COMPARE ARTIFACTS"
ZELMO=$1 SAMPLE=$3 artifacts=$5/command-line
require "$ZELMO" "$SAMPLE"
[ -n "$VERSION" ] || fail "ZELMO_VERSION is not set"

work=$(mktemp -d)
zelmo_pid=""
# Stops what the test started, by PID, and keeps the evidence.
cleanup() {
    stop_pid "$zelmo_pid"
    mkdir -p "$artifacts"
    cp "$work"/*.log "$artifacts/" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
rm -rf "$artifacts"
export HOME=$work/home XDG_RUNTIME_DIR=$work/run CUPS_SERVER=$work/no-cups.sock
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
install_zelmo "$work/bin"
zelmo=$work/bin/zelmo

"$zelmo" --help >"$work/help.log" 2>&1 || fail "--help exited $?"
grep -q '^Użycie: zelmo ' "$work/help.log" || fail "--help printed: $(cat "$work/help.log")"
"$zelmo" --version >"$work/version.log" 2>&1 || fail "--version exited $?"
grep -qxF "zelmo $VERSION" "$work/version.log" || fail "--version printed: $(cat "$work/version.log")"
"$zelmo" --bogus >"$work/bogus.out" 2>"$work/bogus.log"
[ $? -eq 2 ] || fail "an unknown option did not exit 2"
[ ! -s "$work/bogus.out" ] && grep -q -- '--bogus' "$work/bogus.log" &&
    grep -q '^Użycie: zelmo ' "$work/bogus.log" || fail "an unknown option printed: $(cat "$work/bogus.log")"

# --dir names a folder that does not exist yet; the job dropped there prints there. The display
# named cannot be opened, so zelmo says so once and runs in the console.
dir=$work/kasa/wydruki
env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:254 "$zelmo" --dir "$dir" >"$work/zelmo.log" 2>&1 &
zelmo_pid=$!
wait_for 30 grep -q '^Monitorowany plik:' "$work/zelmo.log" || fail "zelmo did not start: $(cat "$work/zelmo.log")"
grep -qxF "Monitorowany plik: $dir/Wydruk.prn" "$work/zelmo.log" || fail "wrong folder: $(cat "$work/zelmo.log")"
[ "$(grep -c 'nie można otworzyć ekranu' "$work/zelmo.log")" -eq 1 ] ||
    fail "no one-line notice of the missing display: $(cat "$work/zelmo.log")"
"$SAMPLE" "$dir/Wydruk.prn" || fail "cannot write the sample job"
wait_for 60 sh -c "ls '$dir/Wydruki/'*.pdf >/dev/null 2>&1" || fail "no PDF in $dir/Wydruki: $(ls -R "$work")"

# A second zelmo on the same folder (however it is spelt) refuses; the first keeps running.
"$zelmo" --headless --dir "$work/kasa/../kasa/wydruki/" >"$work/second.log" 2>&1
[ $? -eq 1 ] || fail "a second zelmo on the folder did not exit 1"
grep -q 'już monitorowany' "$work/second.log" || fail "the second zelmo printed: $(cat "$work/second.log")"
kill -0 "$zelmo_pid" 2>/dev/null || fail "the first zelmo ended"
stop_pid "$zelmo_pid"
zelmo_pid=""
# Nothing beside the program: every file went to the folder.
[ "$(ls -A "$work/bin")" = zelmo ] || fail "files beside the program: $(ls -A "$work/bin")"
echo "PASS: command line"
