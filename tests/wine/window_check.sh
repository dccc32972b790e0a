#!/usr/bin/env bash
# The Windows window under Wine and Xvfb, started on a folder named "Księgowość" (--dir): its
# bounds and texts read back through Win32 against the layout; the tray icon's paused variant;
# the queue window listing a job left from an earlier run, and a printed job with "Otwórz PDF"
# while its PDF is there; screenshots of the window, the popup
# menu, the invalid-value box and the queue window kept as artefacts. Before it, the command
# line; while it runs, a second Zelmo on the folder brings its window to the front, the control
# command answers through the folder's pipe, and a killed one leaves the folder free.
#   window_check.sh WINE_RUN PREFIX ZELMO_EXE INSPECT_EXE ARTIFACTS
set -euo pipefail
wine_run=$(realpath "$1") prefix=$2 zelmo=$3 inspect=$4 artifacts=$5
# The version the build gave the program; CTest sets it.
version=${ZELMO_VERSION:?ZELMO_VERSION is not set}
for tool in Xvfb import; do command -v $tool >/dev/null || { echo "no $tool"; exit 77; }; done
work=$(mktemp -d)
folder="$work/Księgowość"
program="$work/Program Files/Zelmo"
mkdir -p "$program" "$folder" "$artifacts"
cp "$zelmo" "$program/Zelmo.exe"
# A queue file left from an earlier run: listed in the queue window, never printed unasked.
head -c 2000 /dev/zero | tr '\0' 'x' >"$folder/Zelmo7.Prn"
# A free display, chosen by the server itself.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
zelmo_pid=
# Ends what this script started, by process id, and the Wine programs its display served.
cleanup() {
    [ -n "$zelmo_pid" ] && kill "$zelmo_pid" 2>/dev/null || true
    "$wine_run" "$prefix" --stop-server
    kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start: $(cat "$work/xvfb.log")"; exit 1; }
export DISPLAY=:$(cat "$work/display")
"$wine_run" "$prefix" --stop-server
# The arguments reach Windows in UTF-8 whatever the caller's locale.
export LC_ALL=C.UTF-8
# Runs Zelmo.exe from the work folder with the arguments; its output in out, its errors in err.
zelmo() { (cd "$work" && timeout 60 "$wine_run" "$prefix" "$program/Zelmo.exe" "$@") >"$work/out" 2>"$work/err"; }
failed=0
# Expects the exit status $1 of the last zelmo run and the text $2 in its file $3.
expect_run() {
    [ "$status" = "$1" ] || { echo "exit status $status, not $1"; failed=1; }
    tr -d '\r' <"$work/$3" | grep -qF -- "$2" || { echo "no \"$2\" in: $(cat "$work/$3")"; failed=1; }
}
status=0; zelmo --version || status=$?
expect_run 0 "zelmo $version" out
status=0; zelmo --kolor || status=$?
expect_run 2 "nieznana opcja: --kolor" err
expect_run 2 "Użycie: Zelmo.exe" err
status=0; zelmo --headless || status=$?
expect_run 2 "opcja --headless nie działa w systemie Windows" err
[ ! -e "$folder/Zelmo.log" ] || { echo "a refused command line started the monitor"; failed=1; }
# Monitors the folder, named relative to the work folder, with more options if given.
start_zelmo() {
    (cd "$work" && WINEDEBUG=err+all exec "$wine_run" "$prefix" "$program/Zelmo.exe" \
        --dir Księgowość "$@") >"$work/zelmo.log" 2>&1 &
    zelmo_pid=$!
}
start_zelmo
inspect() { "$wine_run" "$prefix" "$inspect" "$@"; }
# Waits up to $1 seconds for the command that follows to succeed: no fixed sleep before a check.
wait_for() {
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -ge $end ] && return 1
        sleep 0.2
    done
}
# Whether the window is at the front ("yes") or in the tray ("no").
front_is() { inspect front | tr -d '\r' | grep -qx "front $1"; }
# Whether the tray icon is the one named.
icon_is() { inspect icon | tr -d '\r' | grep -qx "icon $1"; }
# Whether the queue window's "Otwórz PDF" reports as the pattern says.
openpdf_is() { inspect openpdf | tr -d '\r' | tee "$artifacts/window-queue-pdf.txt" | grep -q "$1"; }
# Restores the window from the tray with a double click once it is there.
if ! inspect show; then
    echo "the window did not come out of the tray"
    kill -0 "$zelmo_pid" 2>/dev/null || echo "Zelmo.exe has ended"
    grep -v -e fixme -e wine32 -e multiarch -e 'apt-get install' "$work/zelmo.log" | tail -20
    import -window root "$artifacts/window.png" 2>/dev/null
    exit 1
fi
inspect layout | tr -d '\r' > "$artifacts/window-layout.txt" || { echo "bounds differ from the layout"; failed=1; }
cat "$artifacts/window-layout.txt"
# The locked settings can be read: their text stands out from its background on the screen.
contrast_ok() { inspect contrast | tr -d '\r' >"$artifacts/window-contrast.txt"; }
wait_for 10 contrast_ok || { echo "locked settings too pale"; failed=1; }
cat "$artifacts/window-contrast.txt"
# The same folder spelt otherwise (full, upper case, a trailing separator, /dir) is the same
# folder: a second start brings the running window out of the tray to the front, with no box.
inspect hide
wait_for 10 front_is no || { echo "the window did not go to the tray"; failed=1; }
status=0; zelmo /dir "Z:${folder^^}/" || status=$?
[ "$status" = 1 ] || { echo "a second start exited $status"; failed=1; }
wait_for 10 front_is yes || { echo "a second start left the window hidden"; failed=1; }
[ "$(inspect boxes | tr -d '\r')" = "boxes 0" ] || { echo "a second start left a box"; failed=1; }
kill -0 "$zelmo_pid" 2>/dev/null || { echo "the first Zelmo has ended"; failed=1; }
# The control command over the folder's pipe.
status=0; zelmo --dir Księgowość --status || status=$?
expect_run 0 "Monitorowanie: włączone" out
expect_run 0 "$(printf '7\tZelmo7.Prn\t')" out
status=0; zelmo --dir Księgowość --delete 99 || status=$?
expect_run 3 "nie ma zadania numer 99" err
status=0; zelmo --dir "$work" --status || status=$?
expect_run 1 "żaden Zelmo nie monitoruje folderu" err
# A Zelmo that dies without closing leaves no lock behind: the next one starts on the folder.
kill -KILL "$zelmo_pid"
wait "$zelmo_pid" 2>/dev/null || true
start_zelmo
inspect show || { echo "no window after a killed Zelmo"; failed=1; }
expect() {
    grep -qxF "$1" "$artifacts/window-layout.txt" || { echo "missing: $1"; failed=1; }
}
# The numbers come from the window's design, the one home of the layout both windows follow.
design=$(dirname "$0")/../../shell/window_design.h
# The header's constant $1.
constant() { sed -n "s/^inline constexpr int $1 = \([0-9]*\);.*/\1/p" "$design"; }
# The layout's left, top, width and height of the control named $1; a width or height of 0 (taken
# from the text or the system) as a pattern.
bounds() {
    sed -n "s/^ *{$1, [A-Za-z_]*, \"$1\", \([0-9]*\), \([0-9]*\), \([0-9]*\), \([0-9]*\)},.*/\1 \2 \3 \4/p" \
        "$design" | sed 's/ 0\b/ [0-9]*/g'
}
# The control $1 at its layout bounds, showing the text $2 (a pattern).
expect_control() {
    local at
    at=$(bounds "$1")
    [ -n "$at" ] || { echo "no $1 in $design"; failed=1; return; }
    grep -qx "$1 $at $2" "$artifacts/window-layout.txt" || { echo "missing: $1 $at $2"; failed=1; }
}
expect "window $(constant kClientWidth) $(constant kClientHeight) Kalvister II - Monitor Wydruków (wersja $version)"
expect "placed centred"
expect_control StatusGroup "Status"
expect_control Label_Search "Z:${folder//\//\\\\}\\\\Wydruk\.prn"
# No printer in this prefix: the PDF folder in the monitored folder stands in.
expect_control Label_Printer "Drukarka PDF (folder Wydruki)"
expect_control OffsetsLabel "Przesunięcia \[mm\]:"
expect_control OffsetXEdit "0\.0"
expect_control ModifyButton "&Modyfikuj"
expect_control SingleMode "Tryb pojedyńczy"
expect_control PrintEngine "Domyślny Mechanizm Wydruku"
expect_control CodePageLabel "Kodowanie:"
expect_control CodePageList "CP852"
import -window root "$artifacts/window.png"
# The window is on the screen, not only in Win32's books: the screen's middle is not black.
middle=$(convert "$artifacts/window.png" -crop 1x1+400+300 -format '%[hex:p]' info:)
case "$middle" in 000000*) echo "the window is not on the screen"; failed=1 ;; esac
inspect menu
sleep 2
import -window root "$artifacts/window-menu.png"
inspect escape
sleep 1
inspect invalid | tr -d '\r' > "$artifacts/window-invalid.txt" || failed=1
cat "$artifacts/window-invalid.txt"
grep -qxF "caption Kalvister II - Monitor Wydruków" "$artifacts/window-invalid.txt" || { echo "box caption"; failed=1; }
grep -qx "text Nieprawidłowa wartość\. Przesunięcie w poziomie: podaj liczbę milimetrów, np\. 1[.,]5\." \
    "$artifacts/window-invalid.txt" || { echo "box text"; failed=1; }
sleep 1
import -window root "$artifacts/window-invalid.png"
inspect ok
sleep 1
# Pausing swaps the tray icon for its paused variant, and resuming swaps it back.
icon_is monitoring || { echo "tray icon before the pause: $(inspect icon)"; failed=1; }
inspect pause
wait_for 10 icon_is paused || { echo "tray icon while paused: $(inspect icon)"; failed=1; }
inspect pause
wait_for 10 icon_is monitoring || { echo "tray icon after resuming: $(inspect icon)"; failed=1; }
# The control command pauses and resumes as the menu item does.
icons=$(zelmo --dir Księgowość --pause; inspect icon; zelmo --dir Księgowość --resume; inspect icon)
[ "$(echo "$icons" | tr -d '\r' | tr '\n' ' ')" = "icon paused icon monitoring " ] ||
    { echo "tray icons after --pause, --resume: $icons"; failed=1; }
inspect queue | tr -d '\r' > "$artifacts/window-queue.txt" || { echo "no queue window"; failed=1; }
cat "$artifacts/window-queue.txt"
grep -qxF "title Kolejka wydruków" "$artifacts/window-queue.txt" || { echo "queue title"; failed=1; }
grep -qxF "columns Nr | Plik | Czas | Rozmiar | Stan" "$artifacts/window-queue.txt" || { echo "queue columns"; failed=1; }
grep -qx "row 7 | Zelmo7.Prn | 20[0-9-]* [0-9:]* | 2[.,]0 kB | z poprzedniego uruchomienia (niedrukowany)" \
    "$artifacts/window-queue.txt" || { echo "the left file is not listed"; failed=1; }
sleep 1
import -window root "$artifacts/window-queue.png"
[ -e "$folder/Zelmo7.Prn" ] || { echo "the left file went"; failed=1; }
# "Usuń" asks first, then deletes the file and its row.
inspect delete | tr -d '\r' > "$artifacts/window-queue-delete.txt" || { echo "no deletion"; failed=1; }
cat "$artifacts/window-queue-delete.txt"
grep -qxF "question Usunąć plik Zelmo7.Prn? Tego wydruku nie będzie można już wydrukować." \
    "$artifacts/window-queue-delete.txt" || { echo "delete question"; failed=1; }
grep -qxF "rows 0" "$artifacts/window-queue-delete.txt" || { echo "the row stayed"; failed=1; }
[ ! -e "$folder/Zelmo7.Prn" ] || { echo "the file stayed"; failed=1; }
# A printed job's row offers "Otwórz PDF" while its PDF is in the PDF folder, and no more once
# the PDF is gone.
printf 'Faktura\f' >"$folder/Wydruk.prn"
wait_for 30 openpdf_is "^openpdf enabled" || { echo "no queue window offering the PDF"; failed=1; }
cat "$artifacts/window-queue-pdf.txt"
grep -q "^row 1 | Zelmo1.Prn | .* | 1 str\. | zapisany jako PDF: .*Wydruki.*\.pdf$" \
    "$artifacts/window-queue-pdf.txt" || { echo "no printed job in the queue window"; failed=1; }
grep -qxF "openpdf enabled Otwórz P&DF" "$artifacts/window-queue-pdf.txt" || { echo "Otwórz PDF not offered"; failed=1; }
rm -f "$folder/Wydruki/"*.pdf
wait_for 10 openpdf_is "^openpdf disabled" || { echo "Otwórz PDF offered for a PDF gone"; failed=1; }
# Nothing along the way raised a failure box.
boxes=$(inspect boxes | tr -d '\r')
[ "$boxes" = "boxes 0" ] || { echo "unexpected failure box: $boxes"; failed=1; }
question="question Zakończyć monitorowanie wydruków? Wydruki programu nie będą przyjmowane."
# Closes the window and answers the question with $1; what it asked goes to window-close-$1.txt.
close_answering() {
    inspect close
    inspect answer "$1" | tr -d '\r' >"$artifacts/window-close-$1.txt" || { echo "no question"; failed=1; }
    cat "$artifacts/window-close-$1.txt"
    for _ in $(seq 50); do kill -0 "$zelmo_pid" 2>/dev/null || break; sleep 0.2; done
}
# The close box asks even with nothing waiting; "Tak" ends Zelmo.
close_answering yes
grep -qxF "$question" "$artifacts/window-close-yes.txt" || { echo "close question"; failed=1; }
if kill -0 "$zelmo_pid" 2>/dev/null; then echo "Zelmo did not end on close"; failed=1; fi
# The settings were never saved, so no Zelmo.ini; the monitored file was watched in place.
[ ! -e "$folder/Zelmo.ini" ] || { echo "settings written without a save"; failed=1; }
# A job waiting for a printer that is away: the question counts it, "Nie" keeps Zelmo running,
# "Tak" ends it with the job kept in the journal for the next start.
# Run as on a Polish Windows, whose standard buttons read "Tak" and "Nie" (a locale of our own:
# the system may have none generated).
localedef -i pl_PL -f UTF-8 "$work/pl_PL.UTF-8" || { echo "no Polish locale"; failed=1; }
LOCPATH=$work LC_ALL=pl_PL.UTF-8 start_zelmo --printer Nieobecna
inspect show || { echo "no window with the printer away"; failed=1; }
printf '\033E' >"$folder/Wydruk.prn"
for _ in $(seq 50); do [ -e "$folder/Wydruk.prn" ] || break; sleep 0.2; done
close_answering no
grep -qxF "$question W kolejce czeka 1 wydruk. Kolejka zostanie wznowiona po ponownym uruchomieniu." \
    "$artifacts/window-close-no.txt" || { echo "close question with a job waiting"; failed=1; }
kill -0 "$zelmo_pid" 2>/dev/null || { echo "Zelmo ended on \"Nie\""; failed=1; }
grep -qx "buttons &\?Tak &\?Nie" "$artifacts/window-close-no.txt" || { echo "not Tak/Nie"; failed=1; }
close_answering yes
if kill -0 "$zelmo_pid" 2>/dev/null; then echo "Zelmo did not end on \"Tak\""; failed=1; fi
grep -qE "^waiting Zelmo[0-9]+\.Prn( |$)" "$folder/Zelmo.queue" || { echo "journal: $(cat "$folder/Zelmo.queue" 2>&1)"; failed=1; }
exit $failed
