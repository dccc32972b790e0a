#!/usr/bin/env bash
# The setup program under Wine and Xvfb at 150 %, run silently as an administrator would:
# installed into a folder with Polish letters (/NOSTART: nothing starts), it leaves the program,
# the read-mes as Notepad reads them, the font's licence, a Start-menu entry, the Uninstall key
# and this user's Run value; Zelmo.exe started from there prints a job into the PDF folder, its
# layout scaled, and its menu item "Uruchamiaj przy logowaniu" switches that very value off and
# on again, naming the folder. An upgrade over the running Zelmo ends it in order, as a log-off
# does, keeps Zelmo.ini and the log, and starts Zelmo again: still paused, and a PDF set aside
# still says "plik PDF". A second upgrade, to start at every user's login, keeps a waiting job,
# which the next start prints once resumed. A second folder gets its own entries; the silent
# uninstall of the first stops Zelmo and leaves none of its files, entries or keys, while the
# queue files, Zelmo.ini, the log, the PDFs and the second folder's install stay.
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
uninstall_root='Software\Microsoft\Windows\CurrentVersion\Uninstall'
second="$work/Druga-firma"
second_win="Z:${second//\//\\}"
# The tray menu's "Uruchamiaj przy logowaniu", as the window numbers it.
autostart_item=$(sed -n 's/^ *AutostartItem = \([0-9]*\),.*/\1/p' "$here/../../shell/win32/controls.h")
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
    "$wine_run" "$prefix" reg delete "$run_key" /v "Zelmo $second_win" /f >/dev/null 2>&1
    for key in $(uninstall_keys); do "$wine_run" "$prefix" reg delete "$key" /f >/dev/null 2>&1; done
    find "$prefix/drive_c" -path '*Start Menu/Programs/Zelmo - *.lnk' -delete 2>/dev/null
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
# Every Zelmo's Uninstall key, the machine's and the user's.
uninstall_keys() {
    for root in HKLM HKCU; do
        "$wine_run" "$prefix" reg query "$root\\$uninstall_root" 2>/dev/null | tr -d '\r' |
            grep -i '\\Zelmo-[0-9A-F]*$'
    done
}
# Text as a .reg file spells it: backslashes and quotes escaped.
esc() { printf '%s' "$1" | sed 's/\\/\\\\/g; s/"/\\"/g'; }
# The key $1 as a .reg file in UTF-8: reg query writes the console's code page, which loses the
# folder's Polish letters.
reg_text() {
    rm -f "$work/key.reg"
    wine reg export "$1" "Z:${work//\//\\}\\key.reg" /y >/dev/null 2>&1 &&
        iconv -f UTF-16 -t UTF-8 "$work/key.reg" | tr -d '\r'
}
# The value $1 under the Uninstall key of the folder $2 (the first one's by default), as the
# .reg file has it.
uninstall_value() {
    local key text
    for key in $(uninstall_keys); do
        text=$(reg_text "$key")
        grep -qixF "\"InstallLocation\"=\"$(esc "${2:-$win}")\"" <<<"$text" || continue
        grep -i "^\"$1\"=" <<<"$text" && return 0
    done
    return 1
}
# The Start-menu entry of the folder named $1 (the first one by default).
start_menu_entry() {
    find "$prefix/drive_c" -path "*Start Menu/Programs/Zelmo - ${1:-Księgowość-Łódź}.lnk" | grep -q .
}
# The command of this user's login value for the folder $1 as the .reg file has it, else nothing.
run_command() {
    local name line
    name="\"Zelmo $(esc "$1")\"="
    while IFS= read -r line; do
        [ "${line#"$name"}" != "$line" ] && printf '%s\n' "${line#"$name"}"
    done < <(reg_text "$run_key")
}
# Whether a Zelmo window is there.
zelmo_running() { wine "$inspect" front >/dev/null 2>&1; }
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

wine "$setup" /S /LOGIN=user /NOSTART "/D=$win" || fail "the silent installation failed"
! zelmo_running || fail "the installation started Zelmo despite /NOSTART"
grep -q "wersja $version" "$app/CZYTAJ.txt" || fail "CZYTAJ.txt does not name version $version"
for file in "${installed[@]}"; do
    [ -f "$app/$file" ] || fail "$file is not installed: $(ls "$app")"
done
for file in CZYTAJ.txt README.txt LICENSE.txt; do
    [ "$(head -c 3 "$app/$file" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "$file has no byte-order mark"
    ! grep -q $'[^\r]$' "$app/$file" || fail "$file has a line without CRLF"
done
start_menu_entry || fail "no Start-menu entry"
uninstall_value DisplayVersion | grep -q "\"$version\"\$" || fail "no Uninstall key with the version"
for value in Publisher DisplayIcon EstimatedSize UninstallString QuietUninstallString; do
    uninstall_value $value >/dev/null || fail "the Uninstall key has no $value"
done
command="\"$(esc "\"$win\\Zelmo.exe\" --dir \"$win\"")\""
[ "$(run_command "$win")" = "$command" ] || fail "the Run value is $(run_command "$win")"

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

# The menu item reads the setup's value as ticked: unticking removes it, ticking writes it back
# naming the folder Zelmo runs in.
wine "$inspect" command "$autostart_item"
wait_for 10 sh -c "! \"$wine_run\" \"$prefix\" reg query '$run_key' /v 'Zelmo $win' >/dev/null 2>&1" ||
    fail "unticking the login start left the setup's Run value"
wine "$inspect" command "$autostart_item"
wait_for 10 sh -c "\"$wine_run\" \"$prefix\" reg query '$run_key' /v 'Zelmo $win' >/dev/null 2>&1" ||
    fail "ticking the login start wrote no Run value for the folder"
[ "$(run_command "$win")" = "$command" ] || fail "the menu wrote the Run value $(run_command "$win")"

# A PDF is set aside for what it is, and the pause is on when the upgrade ends Zelmo.
printf '%%PDF-1.4\n%%\342\343\317\323\n1 0 obj <<>> endobj\ntrailer <<>>\n%%%%EOF\n' >"$app/Wydruk.prn"
wait_for 60 grep -q "plik PDF" "$app/Zelmo.log" || fail "the PDF was not set aside as one"
wine "$inspect" pause
# (The tray icon shows the set-aside job's mark over the pause: --status tells the pause.)
wait_for 30 sh -c "cd '$app' && '$wine_run' '$prefix' ./Zelmo.exe --status 2>&1 | grep -q 'Drukowanie: wstrzymane'" ||
    fail "Zelmo did not pause"

# An upgrade over the running Zelmo: it is stopped (else Zelmo.exe could not be replaced) and
# what it wrote stays.
printf '[Tekst]\r\nZachowaj=1\r\n' >>"$app/Zelmo.ini"
wine "$setup" /S "/D=$win" || fail "the upgrade failed"
wait_for 30 sh -c "! kill -0 $zelmo_pid 2>/dev/null" || fail "the upgrade left Zelmo running"
zelmo_pid=""
# The silent run started Zelmo again, which kept the pause and the reason over the restart.
wait_for 60 zelmo_running || fail "the silent upgrade did not start Zelmo"
wait_for 30 sh -c "cd '$app' && '$wine_run' '$prefix' ./Zelmo.exe --status >'$work/status' 2>&1" ||
    fail "the started Zelmo does not answer --status"
tr -d '\r' <"$work/status" >"$artifacts/status-after-upgrade.txt"
grep -qF "Drukowanie: wstrzymane" "$artifacts/status-after-upgrade.txt" ||
    fail "the pause was forgotten over the restart: $(cat "$artifacts/status-after-upgrade.txt")"
grep -qF "plik PDF" "$artifacts/status-after-upgrade.txt" ||
    fail "the set-aside reason lost its words: $(cat "$artifacts/status-after-upgrade.txt")"
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
wine "$setup" /S /LOGIN=all /NOSTART "/D=$win" || fail "the second upgrade failed"
wait_for 30 sh -c "! \"$wine_run\" \"$prefix\" \"$inspect\" front >/dev/null 2>&1" ||
    fail "the second upgrade left Zelmo running"
[ -f "$app/Zelmo9.Prn" ] || fail "the upgrade lost the waiting job"
wine reg query "$machine_run_key" /v "Zelmo $win" >/dev/null 2>&1 || fail "no Run value for every user"
! wine reg query "$run_key" /v "Zelmo $win" >/dev/null 2>&1 || fail "the user's Run value stayed"
start_zelmo
wait_for 60 zelmo_running || fail "Zelmo did not start after the second upgrade"
wait_for 30 sh -c "cd '$app' && '$wine_run' '$prefix' ./Zelmo.exe --resume >/dev/null 2>&1" ||
    fail "Zelmo would not resume"
wait_for 60 printed 2 || fail "the waiting job was not printed after the upgrade"

# A second company's folder: entries of its own, the first one's untouched.
mkdir -p "$second"
wine "$setup" /S /LOGIN=user /NOSTART "/D=$second_win" || fail "the installation into a second folder failed"
[ "$(uninstall_keys | wc -l)" -eq 2 ] || fail "not two Uninstall keys: $(uninstall_keys)"
uninstall_value DisplayName "$second_win" >/dev/null || fail "the second folder has no Uninstall key"
uninstall_value DisplayName >/dev/null || fail "the second folder took the first one's Uninstall key"
start_menu_entry Druga-firma || fail "the second folder has no Start-menu entry"
start_menu_entry || fail "the second folder took the first one's Start-menu entry"
[ -n "$(run_command "$second_win")" ] || fail "the second folder has no Run value"

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
[ -f "$second/Zelmo.exe" ] && start_menu_entry Druga-firma && [ -n "$(run_command "$second_win")" ] &&
    uninstall_value DisplayName "$second_win" >/dev/null ||
    fail "uninstalling the first folder removed the second one's install"
echo "PASS: installed into two folders, upgraded and uninstalled"
