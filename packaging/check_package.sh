#!/usr/bin/env bash
# Checks the built Zelmo packages as a Debian user meets them: lintian, the desktop entry, the
# manual pages, then an install with apt-get into a fresh Debian 12 root. The print server's
# package goes first, alone, and must bring no Qt and print a job through its filter; then the
# installed zelmo must report the package's version, print a job from a fresh folder into that
# folder's PDF printer, and its user unit must pass systemd's own verification.
#
#   packaging/check_package.sh PACKAGE.deb SAMPLE_TOOL [SERVER-PACKAGE.deb]
#
# Needs root, debootstrap and the Debian mirror; exits 77 when it cannot run here. The minbase
# root is cached as a tarball in $ZELMO_CHECK_CACHE (default /var/cache/zelmo-check).
set -euo pipefail

deb=$(realpath "$1")
sample_tool=$(realpath "$2")
server_deb=${3:+$(realpath "$3")}
mirror=${ZELMO_DEBIAN_MIRROR:-http://deb.debian.org/debian}
cache=${ZELMO_CHECK_CACHE:-/var/cache/zelmo-check}

# Lintian warnings accepted on purpose; any other warning or error fails the check.
accepted_warnings=(
    # None at present. A tag goes here with the reason it is right for this package.
)

# Ends the check as failed.
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Ends the check as not runnable on this machine.
skip() {
    echo "SKIP: $*"
    exit 77
}

# Lintian: no errors, no warnings but the accepted ones.
check_lintian() {
    echo "== lintian $(basename "$1")"
    local out tag
    out=$(lintian --info --display-info "$1" 2>&1) || true
    echo "$out" | grep -E '^[EWI]: ' || true
    if echo "$out" | grep -q '^E: '; then fail "lintian reports errors"; fi
    while read -r tag; do
        [ -z "$tag" ] && continue
        printf '%s\n' "${accepted_warnings[@]}" | grep -qx "$tag" || fail "lintian warning $tag"
    done < <(echo "$out" | sed -n 's/^W: [^ ]* \([^ ]*\).*/\1/p' | sort -u)
}

# The desktop entry and the manual pages, from the package's own files.
check_files() {
    local files=$1
    echo "== desktop-file-validate"
    [ ! -e "$files/usr/share/applications/zelmo.desktop" ] ||
        desktop-file-validate "$files/usr/share/applications/zelmo.desktop"
    echo "== manual pages"
    local page warnings
    for page in "$files"/usr/share/man/man1/*.1.gz "$files"/usr/share/man/man8/*.8.gz \
        "$files"/usr/share/man/pl/man1/*.1.gz; do
        warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$page" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
    done
}

# A fresh minbase Debian 12 root in $1, from the cached tarball when there is one.
make_root() {
    local root=$1 tarball="$cache/bookworm-minbase.tgz"
    mkdir -p "$cache"
    if [ ! -s "$tarball" ]; then
        echo "== debootstrap: caching a minbase root in $tarball"
        local scratch
        scratch=$(mktemp -d /var/tmp/zelmo-tarball.XXXXXX)
        debootstrap --variant=minbase --make-tarball="$tarball.part" bookworm "$scratch" "$mirror" \
            >"$cache/debootstrap.log" 2>&1 || {
            rm -rf --one-file-system "$scratch"
            tail -20 "$cache/debootstrap.log"
            fail "debootstrap could not fetch Debian 12"
        }
        rm -rf --one-file-system "$scratch"
        mv "$tarball.part" "$tarball"
    fi
    echo "== debootstrap: fresh root in $root"
    debootstrap --variant=minbase --unpack-tarball="$tarball" bookworm "$root" "$mirror" \
        >"$root.log" 2>&1 || {
        tail -20 "$root.log"
        fail "debootstrap failed"
    }
    mount -t proc proc "$root/proc"
    mount --bind /dev "$root/dev"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    # No service of a package installed there starts inside the root: a cupsd brought in by the
    # package's recommendations would outlive the check and keep the root busy.
    printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
    chmod 755 "$root/usr/sbin/policy-rc.d"
}

# Runs a command inside the root, with a clean environment and no display.
in_root() {
    chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}

# The print server's package alone, as on a server without a desktop: no Qt comes with it, and
# its filter, run as CUPS runs it, prints a job of the accounting program.
check_server() {
    [ -n "$server_deb" ] || return 0
    echo "== apt-get install ./$(basename "$server_deb")"
    cp "$server_deb" "$root/tmp/"
    in_root apt-get update -q >/dev/null
    in_root sh -c "cd /tmp && apt-get install -y -q ./$(basename "$server_deb")" >"$root.apt.log" 2>&1 || {
        tail -30 "$root.apt.log"
        fail "apt-get could not install the server package"
    }
    ! in_root dpkg -l | grep -qi 'libqt' || fail "the server package brought Qt"
    [ -x "$root/usr/lib/cups/backend/zelmo" ] || fail "no zelmo back end"
    [ "$(stat -c %a "$root/usr/lib/cups/backend/zelmo")" = 755 ] ||
        fail "the back end would run as root"
    "$sample_tool" "$root/tmp/filter.prn"
    in_root /usr/lib/cups/filter/zelmo-cups-filter 1 clerk Faktura 1 "" /tmp/filter.prn \
        >"$root/tmp/filter.pdf" 2>"$root.filter.log" || {
        cat "$root.filter.log"
        fail "the installed filter could not print the job"
    }
    head -c 5 "$root/tmp/filter.pdf" | grep -q '%PDF-' || fail "the filter made no PDF"
    grep -q 'PAGE: 2 1' "$root.filter.log" || fail "the filter printed other than 2 pages: $(cat "$root.filter.log")"
    echo "zelmo-server: no Qt, the filter prints a PDF of 2 pages"
}

# The package installed with apt-get, as a user installs a downloaded package.
check_install() {
    echo "== apt-get install ./$(basename "$deb")"
    cp "$deb" "$root/tmp/"
    in_root apt-get update -q >/dev/null
    in_root sh -c "cd /tmp && apt-get install -y -q ./$(basename "$deb")" >"$root.apt.log" 2>&1 || {
        tail -30 "$root.apt.log"
        fail "apt-get could not install the package"
    }
    local version expected
    version=$(in_root timeout 20 zelmo --version) || fail "zelmo --version failed"
    expected=$(dpkg-deb -f "$deb" Version)
    echo "zelmo --version: $version"
    echo "$version" | grep -qw -- "$expected" || fail "--version says '$version', the package is $expected"
}

# zelmo --dir on a fresh folder prints a job into that folder's PDF printer, in a network of
# its own so that no CUPS server of this machine is found.
check_print() {
    echo "== zelmo --dir on a fresh folder"
    local folder=/home/office/Kalvister
    mkdir -p "$root$folder"
    "$sample_tool" "$root/tmp/job.prn"
    chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/root LANG=C.UTF-8 \
        unshare --net zelmo --dir "$folder" >"$root.zelmo.log" 2>&1 &
    local pid=$! end=$((SECONDS + 60))
    sleep 2
    mv "$root/tmp/job.prn" "$root$folder/Wydruk.prn"
    while [ -z "$(ls "$root$folder/Wydruki/"*.pdf 2>/dev/null)" ] || [ -e "$root$folder/Zelmo1.Prn" ]; do
        if [ $SECONDS -ge $end ] || ! kill -0 $pid 2>/dev/null; then
            cat "$root.zelmo.log"
            ls -la "$root$folder" "$root$folder/Wydruki" 2>/dev/null || true
            kill $pid 2>/dev/null || true
            fail "no PDF in $folder/Wydruki within 60 s"
        fi
        sleep 0.5
    done
    kill -TERM $pid
    local code=0
    wait $pid || code=$?
    cat "$root.zelmo.log"
    [ $code -eq 0 ] || fail "zelmo ended with $code after SIGTERM"
    local pdf
    pdf=$(ls "$root$folder/Wydruki/"*.pdf | head -1)
    head -c 5 "$pdf" | grep -q '%PDF-' || fail "$pdf is not a PDF"
    echo "printed: ${pdf#"$root"}"
}

# Started from the menu, without --dir, the installed zelmo works in ~/Zelmo.
check_home_folder() {
    echo "== zelmo without --dir"
    mkdir -p "$root/home/clerk"
    chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/home/clerk LANG=C.UTF-8 \
        unshare --net zelmo --headless >"$root.home.log" 2>&1 &
    local pid=$!
    sleep 3
    kill -TERM $pid 2>/dev/null || true
    wait $pid || true
    cat "$root.home.log"
    [ -d "$root/home/clerk/Zelmo" ] || fail "zelmo without --dir did not use ~/Zelmo"
    [ "$(ls "$root/usr/bin" | grep -c -i -e zelmo.ini -e wydruk)" -eq 0 ] || fail "files in /usr/bin"
    echo "works in ~/Zelmo"
}

# systemd's verification of the installed user unit, for the instance of a folder with a space.
check_unit() {
    echo "== systemd-analyze verify"
    in_root apt-get install -y -q --no-install-recommends systemd man-db >"$root.apt.log" 2>&1 || {
        tail -30 "$root.apt.log"
        fail "apt-get could not install systemd"
    }
    local instance
    instance=$(in_root systemd-escape --path "/home/office/.wine/drive_c/Kalvister II")
    in_root systemd-analyze verify "/usr/lib/systemd/user/zelmo@$instance.service"
    echo "zelmo@$instance.service verified"
}

# Unmounts and removes the root; --one-file-system keeps rm out of anything still mounted.
cleanup() {
    [ -n "${root:-}" ] || return 0
    umount "$root/dev" 2>/dev/null || true
    umount "$root/proc" 2>/dev/null || true
    rm -rf --one-file-system "$root" "$root".*log
}

[ -f "$deb" ] || fail "no package $1"
[ "$(id -u)" -eq 0 ] || skip "installing into a fresh root needs root"
for tool in lintian desktop-file-validate man debootstrap unshare; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done

files=$(mktemp -d /var/tmp/zelmo-files.XXXXXX)
for package in "$deb" $server_deb; do
    dpkg-deb -x "$package" "$files"
    check_lintian "$package"
done
check_files "$files"
rm -rf "$files"

root=$(mktemp -d /var/tmp/zelmo-root.XXXXXX)
chmod 755 "$root"
trap cleanup EXIT
make_root "$root"
check_server
check_install
check_print
check_home_folder
check_unit
echo "== the package installs and runs on a fresh Debian 12"
