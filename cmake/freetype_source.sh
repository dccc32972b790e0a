#!/usr/bin/env bash
# Unpacks Debian's source of FreeType, the version the Linux build links (Debian's patches
# applied), into DEST for the Windows build: Debian has no mingw-w64 FreeType, and the same
# rasteriser on both sides is what makes their sheets equal. Does nothing when DEST has it.
#   freetype_source.sh DEST
set -euo pipefail
dest=$1
[ -f "$dest/include/freetype/freetype.h" ] && exit 0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial"
# Debian's own sources, read through a list of our own: the machine's apt setup is left alone.
codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
codename=${codename:-bookworm}
# The archive the machine already reaches (a mirror or a proxy may stand for deb.debian.org).
uris=$({ sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/*.sources
    sed -n 's/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\{0,1\}\([^[:space:]]*\).*/\2/p' \
        /etc/apt/sources.list /etc/apt/sources.list.d/*.list; } 2>/dev/null | tr ' ' '\n' |
    grep -E '^https?://' || true)
main=$(grep -v security <<<"$uris" | head -1)
security=$(grep security <<<"$uris" | head -1)
cat >"$work/sources.list" <<LIST
deb-src ${main:-http://deb.debian.org/debian} $codename main
deb-src ${security:-http://deb.debian.org/debian-security} $codename-security main
LIST
apt=(apt-get -q -o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
    -o Dir::State::Lists="$work/lists" -o APT::Sandbox::User=root)
"${apt[@]}" update >/dev/null
version=$(dpkg-query -W -f='${Version}' libfreetype6 2>/dev/null || true)
(cd "$work" && { "${apt[@]}" source "freetype${version:+=$version}" >/dev/null 2>&1 ||
    "${apt[@]}" source freetype >/dev/null; })
source=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'freetype-*' | head -1)
[ -n "$source" ] && [ -f "$source/include/freetype/freetype.h" ] || {
    echo "no FreeType source unpacked" >&2
    exit 1
}
mkdir -p "$(dirname "$dest")"
rm -rf "$dest"
mv "$source" "$dest"
