#!/usr/bin/env bash
# Runs a Windows program that makes windows under Wine on a display of its own (Xvfb), with the
# prefix's server stopped before and after: Wine's desktop keeps the display of the program that
# first needed one, so a window test starts it afresh on its own.
#   on_display.sh WINE_RUN PREFIX PROGRAM [ARGS...]
set -euo pipefail
wine_run=$(realpath "$1") prefix=$2
shift 2
command -v Xvfb >/dev/null || { echo "no Xvfb"; exit 77; }
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
# Ends the server this run used and the display, by its process id.
cleanup() {
    "$wine_run" "$prefix" --stop-server
    kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start: $(cat "$work/xvfb.log")"; exit 1; }
export DISPLAY=:$(cat "$work/display")
"$wine_run" "$prefix" --stop-server
"$wine_run" "$prefix" "$@"
