#!/usr/bin/env bash
# The setup program under Wine and Xvfb at 150 %, run silently as an administrator would:
# installed into a folder with Polish letters, it leaves the program, the read-mes as Notepad
# reads them, a Start-menu entry, the Uninstall key and this user's Run value; Zelmo.exe started
# from there prints a job into the PDF folder, its layout scaled. An upgrade over the running
# Zelmo ends it in order and keeps Zelmo.ini and the log; a second one, to start at every user's
# login, keeps a waiting job, which the next start prints. The silent uninstall stops Zelmo and
# leaves none of the setup's files, entry or keys, while the queue files, Zelmo.ini, the log and
# the PDFs stay.
#   installer_check.sh WINE_RUN PREFIX SETUP_EXE VERSION INSPECT_EXE ARTIFACTS
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../e2e/common.sh"
[ $# -eq 6 ] || fail "usage: $0 WINE_RUN PREFIX SETUP_EXE VERSION INSPECT_EXE ARTIFACTS"
wine_run=$(realpath "$1") prefix=$2 setup=$3 version=$4 inspect=$5 artifacts=$6/wine-installer
require Xvfb import
[ -f "$setup" ] && [ -f "$inspect" ] || fail "no $setup or $inspect: build them first"
# The Start-menu entry must not become a desktop file in the home of whoever runs the tests.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
export LC_ALL=C.UTF-8

work=$(mktemp -d)
# No space: wine quotes such an argument, and the setup takes /D= only unquoted.
app="$work/Księgowość-Łódź"
win="Z:${app//\//\\}"
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Zelmo'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
machine_run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
zelmo_pid="" xvfb_pid=""
# Stops what the test started, by PID, and keeps the evidence.
cleanup() {
    stop_pid "$zelmo_pid"
    # The prefix is shared with the other tests, which expect 96 DPI and, at every start of its
    # server, would start a Zelmo for each Run value left by a failed run.
    "$wine_run" "$prefix" reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1
    "$wine_run" "$prefix" reg delete "$run_key" /v "Zelmo $win" /f >/dev/null 2>&1
    "$wine_run" "$prefix" reg delete "$machine_run_key" /v "Zelmo $win" /f >/dev/null 2>&1
    "$wine_run" "$prefix" reg delete "HKLM\\$uninstall_key" /f >/dev/null 2>&1
    "$wine_run" "$prefix" --stop-server
    stop_pid "$xvfb_pid"
    mkdir -p "$artifacts"
    ls -la "$app" >"$artifacts/folder.txt" 2>/dev/null
    cp "$app/Zelmo.log" "$artifacts/" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
rm -rf "$artifacts"
mkdir -p "$artifacts" "$app"
wine() { "$wine_run" "$prefix" "$@"; }
installed=(Zelmo.exe CZYTAJ.txt README.txt LICENSE.txt LICENSE-mingw-w64.txt LICENSE-gcc-runtime.txt
    LICENSE-DejaVu-fonts.txt LICENSE-URW-fonts.txt LICENSE-FreeType.txt fonts/NimbusMonoPS-Regular.otf
    fonts/NimbusSans-BoldItalic.otf fonts/DejaVuSansMono.ttf
    "Odinstaluj Zelmo.exe")
# The value $1 under the Uninstall key, from the machine's key or the user's.
uninstall_value() {
    wine reg query "HKLM\\$uninstall_key" /v "$1" 2>/dev/null | tr -d '\r' | grep -i "^ *$1 " ||
        wine reg query "HKCU\\$uninstall_key" /v "$1" 2>/dev/null | tr -d '\r' | grep -i "^ *$1 "
}
start_menu_entry() { find "$prefix/drive_c" -path '*Start Menu/Programs/Zelmo.lnk' | grep -q .; }
# Starts Zelmo.exe from the installed folder, printing into its PDF folder.
start_zelmo() {
    (cd "$app" && exec "$wine_run" "$prefix" ./Zelmo.exe --printer Wydruki) >>"$work/zelmo.out" 2>&1 &
    zelmo_pid=$!
}
# Whether the PDF folder holds at least $1 documents.
printed() { [ "$(find "$app/Wydruki" -name '*.pdf' 2>/dev/null | wc -l)" -ge "$1" ]; }
# A one-page text job, as the accounting program writes it.
job() { printf '\033EZelmo: wydruk z instalacji\r\n\f\033E'; }

Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_for 10 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$(cat "$work/display")
"$wine_run" "$prefix" --stop-server
# 150 %, read by Wine's desktop when it starts.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null ||
    fail "cannot set 150 %"
"$wine_run" "$prefix" --stop-server

wine "$setup" /S /LOGIN=user "/D=$win" || fail "the silent installation failed"
for file in "${installed[@]}"; do
    [ -f "$app/$file" ] || fail "$file is not installed: $(ls "$app")"
done
for file in CZYTAJ.txt README.txt LICENSE.txt; do
    [ "$(head -c 3 "$app/$file" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "$file has no byte-order mark"
    ! grep -q $'[^\r]$' "$app/$file" || fail "$file has a line without CRLF"
done
start_menu_entry || fail "no Start-menu entry"
uninstall_value DisplayVersion | grep -q "$version\$" || fail "no Uninstall key with the version"
for value in Publisher DisplayIcon EstimatedSize UninstallString QuietUninstallString; do
    uninstall_value $value >/dev/null || fail "the Uninstall key has no $value"
done
wine reg query "$run_key" /v "Zelmo $win" >/dev/null 2>&1 || fail "no Run value for this user"

start_zelmo
sleep 5
job >"$app/Wydruk.prn"
wait_for 60 printed 1 || fail "the installed Zelmo printed nothing: $(cat "$work/zelmo.out")"
wine "$inspect" show || fail "the window did not come out of the tray"
wine "$inspect" layout | tr -d '\r' >"$artifacts/layout-150.txt" ||
    fail "at 150 % the bounds differ from the layout: $(cat "$artifacts/layout-150.txt")"
grep -qx "dpi 144" "$artifacts/layout-150.txt" ||
    fail "the window is not at 150 %: $(head -2 "$artifacts/layout-150.txt")"
import -window root "$artifacts/window-150.png"

# An upgrade over the running Zelmo: it is stopped (else Zelmo.exe could not be replaced) and
# what it wrote stays.
printf '[Tekst]\r\nZachowaj=1\r\n' >>"$app/Zelmo.ini"
wine "$setup" /S "/D=$win" || fail "the upgrade failed"
wait_for 30 sh -c "! kill -0 $zelmo_pid 2>/dev/null" || fail "the upgrade left Zelmo running"
zelmo_pid=""
grep -q Zachowaj=1 "$app/Zelmo.ini" || fail "the upgrade lost Zelmo.ini"
# Ended in order, as at log-off, not killed: the journal is written on the way out.
grep -q "Koniec monitorowania" "$app/Zelmo.log" || fail "Zelmo did not end in order, or the log is lost"
wine reg query "$run_key" /v "Zelmo $win" >/dev/null 2>&1 || fail "the upgrade dropped the Run value"

# A job waiting in the journal survives the next upgrade and is printed by the next start; a
# queue file left from an earlier run is never printed unasked and stays through everything.
job >"$app/Zelmo9.Prn"
job >"$app/Zelmo7.Prn"
printf 'waiting Zelmo9.Prn\n' >>"$app/Zelmo.queue"
# This time Zelmo starts at every user's login: the machine's Run value replaces the user's.
wine "$setup" /S /LOGIN=all "/D=$win" || fail "the second upgrade failed"
[ -f "$app/Zelmo9.Prn" ] || fail "the upgrade lost the waiting job"
wine reg query "$machine_run_key" /v "Zelmo $win" >/dev/null 2>&1 || fail "no Run value for every user"
! wine reg query "$run_key" /v "Zelmo $win" >/dev/null 2>&1 || fail "the user's Run value stayed"
start_zelmo
wait_for 60 printed 2 || fail "the waiting job was not printed after the upgrade"

# The silent uninstaller runs from a copy of itself and returns at once: wait for its file.
wine "$app/Odinstaluj Zelmo.exe" /S || fail "the silent uninstallation failed"
wait_for 60 test ! -e "$app/Odinstaluj Zelmo.exe" || fail "the uninstaller did not finish"
wait_for 30 sh -c "! kill -0 $zelmo_pid 2>/dev/null" || fail "the uninstaller left Zelmo running"
zelmo_pid=""
for file in "${installed[@]}"; do
    [ ! -e "$app/$file" ] || fail "the uninstaller left $file"
done
! start_menu_entry || fail "the uninstaller left the Start-menu entry"
! uninstall_value DisplayName >/dev/null || fail "the uninstaller left the Uninstall key"
for key in "$run_key" "$machine_run_key"; do
    ! wine reg query "$key" /v "Zelmo $win" >/dev/null 2>&1 || fail "the uninstaller left the Run value in $key"
done
for file in Zelmo7.Prn Zelmo.ini Zelmo.log; do
    [ -f "$app/$file" ] || fail "the uninstaller removed the user's $file"
done
printed 2 || fail "the uninstaller removed the PDFs"
echo "PASS: installed, upgraded and uninstalled"
