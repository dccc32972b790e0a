#!/usr/bin/env bash
# Remakes docs/installer-*.png and docs/uninstaller.png: the setup program's pages and the
# uninstaller's, as a Polish Windows shows them, under Wine (a fresh prefix of its own, Polish
# locale) and Xvfb. Needs the Windows build (./build.sh windows), Xvfb, xdotool, ImageMagick.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
setup=$(ls "$root"/build-windows/package/Zelmo-*-setup.exe)
work=$(mktemp -d)
xvfb=""
cleanup() {
    WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
# The Polish locale, made for this run only: Wine takes the user's language from it.
mkdir -p "$work/locale"
localedef -i pl_PL -f UTF-8 "$work/locale/pl_PL.UTF-8" 2>/dev/null || true
export LOCPATH="$work/locale" LANG=pl_PL.UTF-8 LC_ALL=pl_PL.UTF-8
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
wineboot -i >/dev/null 2>&1

# Saves the window named $1 as docs/$2.
shot() {
    local window
    for _ in $(seq 100); do
        window=$(xdotool search --name "$1" 2>/dev/null | tail -1) && [ -n "$window" ] && break
        sleep 0.2
    done
    sleep 2
    import -window "$window" "$root/docs/$2.png"
}
wine "$setup" >/dev/null 2>&1 &
shot "Zelmo" installer-folder
xdotool key Return
shot "Zelmo" installer-login
xdotool key Return
sleep 10
shot "Zelmo" installer-finish
xdotool key space key Return
sleep 3
wine 'C:\Kalvister\Odinstaluj Zelmo.exe' >/dev/null 2>&1 &
shot "Zelmo" uninstaller
xdotool key Escape
