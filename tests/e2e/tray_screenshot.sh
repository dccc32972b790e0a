#!/usr/bin/env bash
# zelmo on a real X server (Xvfb) with a tray host (trayer): it starts in the tray and, with no
# printer, says so once in a notification beside the icon; the icon's right button opens the
# popup menu, whose "Kolejka wydruków" opens the queue window listing the files left from an
# earlier run; a click restores the window. Screenshots of the notification, the menu, the
# queue window and the restored window are kept as artifacts.
#
#   tray_screenshot.sh ZELMO RENDER SAMPLE_JOB_MAKER COMPARE ARTIFACTS
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"

[ $# -eq 5 ] || fail "usage: $0 ZELMO RENDER SAMPLE COMPARE ARTIFACTS"
ZELMO=$1 artifacts=$5/tray
require "$ZELMO" Xvfb trayer xdotool xwininfo xprop import
[ -n "$VERSION" ] || fail "ZELMO_VERSION is not set"
caption="Kalvister II - Monitor Wydruków (wersja $VERSION)"
# xprop writes a UTF-8 name in the locale's charset, escaped under C: read names in UTF-8.
xprop() { LC_ALL=C.UTF-8 command xprop "$@"; }
# xdotool matches the legacy window name, which cannot hold "ó": search by the plain prefix.
title='^Kalvister II - Monitor Wydruk'

work=$(mktemp -d)
xvfb_pid="" trayer_pid="" zelmo_pid=""
# Stops what the test started, by PID, newest first, and keeps the evidence.
cleanup() {
    stop_pid "$zelmo_pid"
    stop_pid "$trayer_pid"
    stop_pid "$xvfb_pid"
    mkdir -p "$artifacts"
    cp "$work"/*.png "$work"/*.log "$artifacts/" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
rm -rf "$artifacts"
export HOME=$work/home XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
# Printing is not under test here: no CUPS, so the built-in PDF printer.
export CUPS_SERVER=$work/no-cups.sock

# Xvfb picks a free display number and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_for 30 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$(head -1 "$work/display")

trayer --edge top --align left --widthtype pixel --width 96 --heighttype pixel --height 32 \
    --SetDockType false --expand false >"$work/trayer.log" 2>&1 &
trayer_pid=$!
# The tray exists once trayer owns the system tray selection, which its panel window shows.
wait_for 30 sh -c 'xwininfo -root -tree | grep -q "\"panel\""' ||
    fail "trayer did not start: $(cat "$work/trayer.log")"

install_zelmo "$work/app"
# Two queue files of an earlier run, for the queue window.
printf '\033E' >"$work/app/Zelmo4.Prn"
printf '\033E\f' >"$work/app/Zelmo7.Prn"
"$work/app/zelmo" >"$work/zelmo.log" 2>&1 &
zelmo_pid=$!

# The tray icon is the one small window of zelmo; the notification comes up beside it.
windows_of_zelmo() { xdotool search --onlyvisible --class zelmo 2>/dev/null; }
icon_window() {
    local w
    for w in $(windows_of_zelmo); do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        [ "$WIDTH" -le 48 ] && echo "$w" && return
    done
}
wait_for 60 sh -c "[ -n \"\$(xdotool search --onlyvisible --class zelmo 2>/dev/null)\" ]" ||
    fail "no tray icon appeared: $(cat "$work/zelmo.log")"
wait_for 30 sh -c '[ "$(xdotool search --onlyvisible --class zelmo | wc -l)" -ge 2 ]' ||
    fail "no notification that there is no printer"
icon=$(icon_window)
[ -n "$icon" ] || fail "no window of zelmo is the size of a tray icon"
balloon=$(windows_of_zelmo | grep -vx "$icon" | head -1)
sleep 0.5
import -window root "$work/notification.png" || fail "cannot take the notification's screenshot"
# A click on the balloon dismisses it.
xdotool mousemove --window "$balloon" 40 20 click 1
wait_for 30 sh -c "! xdotool search --onlyvisible --class zelmo | grep -qx '$balloon'" ||
    fail "the notification did not go"
if xdotool search --onlyvisible --name "$title" >/dev/null 2>&1; then
    fail "the window did not start minimised to the tray"
fi

# Right button on the icon: PopupMenu opens as a second window of zelmo.
xdotool mousemove --window "$icon" 8 8 click 3
wait_for 30 sh -c '[ "$(xdotool search --onlyvisible --class zelmo | wc -l)" -ge 2 ]' ||
    fail "the popup menu did not open"
menu=$(xdotool search --onlyvisible --class zelmo | grep -vx "$icon" | head -1)
eval "$(xdotool getwindowgeometry --shell "$menu")"
[ "$WIDTH" -gt 60 ] && [ "$HEIGHT" -gt 60 ] || fail "the popup menu is ${WIDTH}x$HEIGHT"
import -window root "$work/popup-menu.png" || fail "cannot take the menu's screenshot"
# The fourth item, "Kolejka wydruków", opens the queue window.
xdotool key Down Down Down Down Return
wait_for 30 sh -c "xdotool search --onlyvisible --name '^Kolejka wydruk' >/dev/null 2>&1" ||
    fail "the queue window did not open"
queue=$(xdotool search --onlyvisible --name '^Kolejka wydruk' | head -1)
wait_for 10 sh -c "xwininfo -id $queue | grep -q IsViewable"
sleep 0.5
import -window "$queue" "$work/queue-window.png" || fail "cannot take the queue window's screenshot"
xdotool key --window "$queue" alt+z
wait_for 30 sh -c "! xdotool search --onlyvisible --name '^Kolejka wydruk' >/dev/null 2>&1" ||
    fail "the queue window did not close"
# Leftovers are listed, never printed unless asked.
[ -e "$work/app/Zelmo4.Prn" ] && [ -e "$work/app/Zelmo7.Prn" ] && [ ! -e "$work/app/Wydruki" ] ||
    fail "a leftover was printed: $(ls -R "$work/app")"

# A single click on the icon restores the window.
xdotool mousemove --window "$icon" 8 8 click 1
wait_for 30 sh -c "xdotool search --onlyvisible --name '$title' >/dev/null 2>&1" ||
    fail "a click did not restore the window"
window=$(xdotool search --onlyvisible --name "$title" | head -1)
xprop -id "$window" _NET_WM_NAME | grep -qF "\"$caption\"" || fail "caption: $(xprop -id "$window" _NET_WM_NAME)"
size=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
[ "$size" = 392x215 ] || fail "client size $size, not 392x215"
# No maximise: neither the function (0x10) nor the button (0x40) in the Motif hints, and the
# size is fixed.
hints=$(xprop -id "$window" _MOTIF_WM_HINTS | sed 's/.*= //')
IFS=', ' read -r _ functions decorations _ <<<"$hints"
[ $((functions & 0x10)) -eq 0 ] && [ $((decorations & 0x40)) -eq 0 ] ||
    fail "the window can be maximised: _MOTIF_WM_HINTS $hints"
# Let the window paint before it is photographed.
wait_for 10 sh -c "xwininfo -id $window | grep -q IsViewable"
import -window "$window" "$work/window.png" || fail "cannot take the window's screenshot"
# The restored window shows the layout's panel colour (180, 180, 169) around its group boxes.
pixel=$(convert "$work/window.png" -format '%[pixel:p{7,200}]' info: 2>/dev/null)
case "$pixel" in
*180,180,169*) ;;
*) fail "the panel's colour at (7, 200) is $pixel" ;;
esac

# An offset that is no number: "Modyfikuj", type into OffsetXEdit, "Zapisz" shows the warning box.
# Controls sit at fixed places: ModifyButton at (293, 125) and OffsetXEdit at (47, 147), 75 x 21 and 48 x 21.
xdotool mousemove --window "$window" 330 135 click 1
xdotool mousemove --window "$window" 71 157 click 1 key ctrl+a type 'x1'
xdotool mousemove --window "$window" 330 135 click 1
box_of() { xdotool search --onlyvisible --name "$title" 2>/dev/null | grep -vx "$window" | head -1; }
wait_for 30 sh -c "xdotool search --onlyvisible --name '$title' | grep -vxq '$window'" ||
    fail "no message box for an unparsable offset"
box=$(box_of)
xprop -id "$box" _NET_WM_NAME | grep -qF '"Kalvister II - Monitor Wydruków"' ||
    fail "message box caption: $(xprop -id "$box" _NET_WM_NAME)"
import -window root "$work/invalid-value.png" || fail "cannot take the message box's screenshot"
eval "$(xdotool getwindowgeometry --shell "$box")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) key Return
wait_for 30 sh -c "! xdotool search --onlyvisible --name '$title' | grep -vxq '$window'" ||
    fail "the message box did not close"

# "Zakończ" from the menu ends the program.
xdotool mousemove --window "$icon" 8 8 click 3
wait_for 30 sh -c '[ "$(xdotool search --onlyvisible --class zelmo | wc -l)" -ge 3 ]' ||
    fail "the popup menu did not open again"
menu=$(xdotool search --onlyvisible --class zelmo | grep -vx -e "$icon" -e "$window" | head -1)
eval "$(xdotool getwindowgeometry --shell "$menu")"
xdotool mousemove $((X + 20)) $((Y + HEIGHT - 8)) click 1
wait_for 30 sh -c "! kill -0 $zelmo_pid 2>/dev/null" || fail "Zakończ did not end zelmo"
wait "$zelmo_pid"
status=$?
zelmo_pid=""
[ "$status" -eq 0 ] || fail "zelmo ended with status $status"
echo "PASS: tray, menu and window; screenshots in $artifacts"
