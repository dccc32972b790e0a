#!/usr/bin/env bash
# Runs a Windows program under Wine: wine-run.sh PREFIX PROGRAM [ARGS...]
# Ends the prefix's server and every program in it:  wine-run.sh PREFIX --stop-server
#
# Every run of a build shares one prefix, made once, and one persistent wineserver, so a test
# costs a process start rather than a Wine start-up. `wineserver -k` with the same WINEPREFIX
# ends it (./build.sh does so after the tests).
set -euo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer dialogs: nothing here needs .NET or a browser.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# The prefix, the server and Wine's own services are set up once, by whichever run comes first,
# with no tie to its caller's output: a service started on demand by a plain `wine` would inherit
# the test's stderr, and a test runner waiting for that output to close would wait for ever. The
# lock makes concurrent first runs wait until the services are up instead of starting their own.
mkdir -p "$prefix"
# The desktop belongs to the first program that needed one, and keeps the display that program had:
# a window test after a run without a display would find every window refused ("no driver could
# be loaded"). Window tests run alone and stop the server before and after, so their own run sets
# it up again on their display.
if [ "${1:-}" = --stop-server ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    exit 0
fi
# Whether this prefix's server is running: its socket lives in a folder named after the prefix's
# device and inode.
server_up() {
    local dev ino socket
    read -r dev ino < <(stat -c '%d %i' "$prefix")
    for socket in /tmp/.wine-"$(id -u)"/server-"$(printf %x-%x "$dev" "$ino")"/socket \
        /tmp/wine-*/server-"$(printf %x-%x "$dev" "$ino")"/socket; do
        [ -S "$socket" ] && return 0
    done
    return 1
}
# Always under the lock: the server's socket appears before its services are up.
(
    flock 9
    if ! server_up; then
        # 9>&-: the server and services outlive this run and must not hold the lock with it.
        [ -f "$prefix/system.reg" ] || wineboot -i >/dev/null 2>&1 </dev/null 9>&- || true
        wineserver -p >/dev/null 2>&1 </dev/null 9>&- || true
        wine wineboot >/dev/null 2>&1 </dev/null 9>&- || true
    fi
) 9>"$prefix.lock"
exec wine "$@"
