#!/usr/bin/env bash
# Zelmo.exe's resources read back from the built file: the manifest declares per-monitor DPI
# awareness (v2) and carries the build's version, the icon has every size Explorer and the
# taskbar ask for, and the version block
# is Polish with the product, version and copyright; every resource is marked Polish.
#   resources_check.sh EXE VERSION
set -uo pipefail
exe=$1 version=$2
command -v wrestool >/dev/null && command -v icotool >/dev/null || { echo "no icoutils"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
# Reports a failed expectation and goes on, so one run tells every fault.
no() { echo "FAIL: $*"; failed=1; }

wrestool -l "$exe" >"$work/list" || no "wrestool cannot read $exe"
cat "$work/list"
! grep -v -e '--language=1045' "$work/list" | grep -q . || no "a resource is not marked Polish (1045)"

wrestool -x --raw -t24 "$exe" >"$work/manifest" 2>/dev/null
grep -q '<dpiAwareness[^>]*>PerMonitorV2' "$work/manifest" || no "the manifest declares no per-monitor DPI awareness v2"
grep -q '<dpiAware[^>]*>true/pm<' "$work/manifest" || no "the manifest has no dpiAware for Windows before 10"
grep -q "<assemblyIdentity [^>]*version=\"$version.0\"" "$work/manifest" || no "the manifest is not of version $version.0"

wrestool -x -t14 "$exe" >"$work/zelmo.ico" 2>/dev/null
sizes=$(icotool -l "$work/zelmo.ico" | sed -n 's/.*--width=\([0-9]*\).*/\1/p' | sort -n | tr '\n' ' ')
[ "$sizes" = "16 24 32 48 256 " ] || no "the icon has the sizes $sizes, not 16 24 32 48 256"

# The version block's keys and values are UTF-16; without the zero bytes they read as text.
wrestool -x --raw -t16 "$exe" 2>/dev/null | tr -d '\0' >"$work/version"
for expected in 041504E2 "ProductName" "Zelmo" "ProductVersion$version" "FileVersion$version" \
    "LegalCopyright" "Zelmo maintainers"; do
    grep -qaF "$expected" "$work/version" || no "the version block has no \"$expected\""
done
exit $failed
