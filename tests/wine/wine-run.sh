#!/usr/bin/env bash
# Runs a Windows program under Wine: wine-run.sh PREFIX PROGRAM [ARGS...]
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
if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$prefix"
    (
        flock 9
        [ -f "$prefix/system.reg" ] || wineboot -i >/dev/null 2>&1 || true
    ) 9>"$prefix.lock"
fi
# The server and Wine's own services outlive this run: started here with no tie to the caller's
# output, so that a test runner waiting for that output is not kept waiting for them.
if wineserver -p >/dev/null 2>&1 </dev/null; then
    wine wineboot >/dev/null 2>&1 </dev/null || true
fi
exec wine "$@"
