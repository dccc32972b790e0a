# Helpers of the end-to-end tests: a private CUPS server, a copy of zelmo in a temporary folder,
# waiting with generous limits, and the exit codes CTest understands (77 = cannot run here).

SKIP=77
# The version the build gave the programs (CTest sets it; see shell/CMakeLists.txt).
VERSION=${ZELMO_VERSION:-}
# Under the sanitizers, leaks of system libraries are not zelmo's.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(dirname "${BASH_SOURCE[0]}")/lsan.supp"

# Ends the test as skipped because a tool it needs is missing.
skip() {
    echo "SKIP: $*"
    exit $SKIP
}

# Ends the test as failed.
fail() {
    echo "FAIL: $*"
    exit 1
}

# Skips the test unless every named program can be found.
require() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || [ -x "$tool" ] || skip "$tool is not installed"
    done
}

# Waits up to $1 seconds for the command that follows to succeed.
wait_for() {
    local seconds=$1
    shift
    local end=$((SECONDS + seconds))
    while ! "$@"; do
        [ $SECONDS -ge $end ] && return 1
        sleep 0.2
    done
}

# Starts a cupsd of our own under $1 (config, socket, spool, state and logs all in there) and
# exports CUPS_SERVER for its socket; its PID lands in CUPSD_PID.
start_cupsd() {
    local dir=$1
    mkdir -p "$dir"/{conf,spool/tmp,cache,state,log,run,out}
    # cupsd runs filters as an unprivileged user when started as root: let it reach its files.
    chmod o+x "$(dirname "$dir")"
    chmod 755 "$dir" "$dir"/{conf,spool,cache,state,log,run}
    chmod 1777 "$dir/spool/tmp" "$dir/out"
    cat >"$dir/conf/cupsd.conf" <<EOF
Listen $dir/run/cups.sock
${CUPSD_CONF_EXTRA:-}
LogLevel info
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
    cat >"$dir/conf/cups-files.conf" <<EOF
ServerRoot $dir/conf
CacheDir $dir/cache
StateDir $dir/state
RequestRoot $dir/spool
TempDir $dir/spool/tmp
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
Printcap /dev/null
FileDevice Yes
${CUPSD_FILES_EXTRA:-}
EOF
    export CUPS_SERVER=$dir/run/cups.sock
    "$CUPSD" -f -c "$dir/conf/cupsd.conf" -s "$dir/conf/cups-files.conf" &
    CUPSD_PID=$!
    wait_for 30 sh -c 'lpstat -r 2>/dev/null | grep -q "is running"' ||
        fail "cupsd did not start: $(tail -5 "$dir/log/error_log" 2>/dev/null)"
}

# Makes $1 a ServerBin for start_cupsd: the system's backends and filters, plus the filters
# named after it; sets CUPSD_FILES_EXTRA so that the next start_cupsd uses it.
private_server_bin() {
    local bin=$1 d f
    shift
    mkdir -p "$bin/filter"
    for d in backend cgi-bin daemon monitor notifier driver; do
        [ -e "/usr/lib/cups/$d" ] && ln -sfn "/usr/lib/cups/$d" "$bin/$d"
    done
    for f in /usr/lib/cups/filter/*; do ln -sf "$f" "$bin/filter/"; done
    for f in "$@"; do cp "$f" "$bin/filter/" && chmod 755 "$bin/filter/$(basename "$f")"; done
    chmod -R go+rX "$bin"
    CUPSD_FILES_EXTRA="ServerBin $bin"
}

# Stops the process whose PID is $1, if it runs, and waits for it.
stop_pid() {
    local pid=$1
    [ -n "$pid" ] || return 0
    kill "$pid" 2>/dev/null || return 0
    wait_for 30 sh -c "! kill -0 $pid 2>/dev/null" || kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null || true
}

# Copies zelmo into folder $1, as a user would install it.
install_zelmo() {
    mkdir -p "$1"
    cp "$ZELMO" "$1/zelmo"
}

# Cuts what a print queue put before the PDF header (PJL) from file $1 into file $2.
strip_to_pdf() {
    local offset
    offset=$(grep -abo '%PDF-' "$1" | head -1 | cut -d: -f1)
    [ -n "$offset" ] || fail "$1 holds no PDF"
    tail -c +$((offset + 1)) "$1" >"$2"
}

# Rasterises PDF $1 at $2 dpi with Ghostscript and with poppler into $3/page-N.pgm and compares
# every page with the sheet of the same number in folder $4 (sheet-NNNN.pbm); fails on any
# difference or page count mismatch.
compare_pages() {
    local pdf=$1 dpi=$2 pages=$3 sheets=$4 renderer
    for renderer in gs pdftoppm; do
        mkdir -p "$pages"
        if [ "$renderer" = gs ]; then
            gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pgmraw -r"$dpi" \
                -sOutputFile="$pages/page-%d.pgm" "$pdf" || fail "Ghostscript cannot rasterise $pdf"
        else
            pdftoppm -gray -r "$dpi" "$pdf" "$pages/poppler" || fail "poppler cannot rasterise $pdf"
            # Its page numbers are padded to the page count's width.
            local file
            for file in "$pages"/poppler-*.pgm; do
                local n=${file##*-}
                mv "$file" "$pages/page-$((10#${n%.pgm})).pgm"
            done
        fi
        compare_rasterised "$pages" "$sheets" "$renderer"
    done
}

# Compares $1/page-N.pgm with $2/sheet-NNNN.pbm, as rasterised by $3, and removes the pages.
compare_rasterised() {
    local pages=$1 sheets=$2 renderer=$3
    local count_pages count_sheets n
    count_pages=$(ls "$pages"/page-*.pgm 2>/dev/null | wc -l)
    count_sheets=$(ls "$sheets"/sheet-*.pbm 2>/dev/null | wc -l)
    [ "$count_sheets" -gt 0 ] || fail "zelmo-render made no sheet"
    [ "$count_pages" -eq "$count_sheets" ] ||
        fail "$count_pages pages in the PDF ($renderer), $count_sheets sheets from zelmo-render"
    for ((n = 1; n <= count_pages; n++)); do
        "$COMPARE" ${COMPARE_NEAR:+--near "$COMPARE_NEAR"} "$pages/page-$n.pgm" \
            "$(printf '%s/sheet-%04d.pbm' "$sheets" "$n")" ||
            fail "page $n ($renderer) differs from the simulated printer's sheet"
    done
    rm -f "$pages"/page-*.pgm
}

CUPSD=/usr/sbin/cupsd
PDF_PPD=/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd

# Skips a test of zelmo against a private cupsd with PDF queues unless cupsd, the generic PDF
# model and every named program are there.
require_pdf_cups() {
    require "$CUPSD" lpadmin lpstat "$@"
    [ -r "$PDF_PPD" ] || skip "$PDF_PPD is missing (cups-filters)"
}

# Starts such a test: a work folder ($work) with its own home, a private cupsd under
# $work/cups, and at exit the evidence (zelmo's output in $work/zelmo.log, the log of the copy in
# $work/app, cupsd's logs) kept in folder $1. The test sets zelmo_pid when it starts zelmo.
begin_cups_test() {
    artifacts=$1
    work=$(mktemp -d)
    zelmo_pid="" CUPSD_PID=""
    trap end_cups_test EXIT
    rm -rf "$artifacts"
    export HOME=$work/home XDG_RUNTIME_DIR=$work/run
    mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
    start_cupsd "$work/cups"
}

# Stops what the test started, by PID, and keeps the evidence. A stopped cupsd is let go on
# first: it ignores SIGTERM until then.
end_cups_test() {
    [ -n "$CUPSD_PID" ] && kill -CONT "$CUPSD_PID" 2>/dev/null
    stop_pid "$zelmo_pid"
    stop_pid "$CUPSD_PID"
    mkdir -p "$artifacts"
    cp -r "$work/zelmo.log" "$work/app/Zelmo.log" "$work/cups/log" "$artifacts/" 2>/dev/null || true
    rm -rf "$work"
}

# Adds queue $1 of the private cupsd, printing as a PDF into $work/cups/out/$1.pdf.
add_pdf_queue() {
    lpadmin -p "$1" -E -v "file://$work/cups/out/$1.pdf" -P "$PDF_PPD" 2>/dev/null ||
        fail "lpadmin cannot add $1"
}
