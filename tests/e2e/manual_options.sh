#!/usr/bin/env bash
# The options the manual pages describe are the ones `zelmo --help` lists, in every language
# the pages are written in: a new option documented in one place only fails here.
#   manual_options.sh ZELMO PAGE...
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
[ $# -ge 2 ] || fail "usage: $0 ZELMO PAGE..."
zelmo=$1
shift
help=$(QT_QPA_PLATFORM=offscreen "$zelmo" --help) || fail "zelmo --help failed"
listed=$(echo "$help" | sed -n 's/^ *\(--[a-z-]*\).*/\1/p' | sort -u | tr '\n' ' ')
[ -n "$listed" ] || fail "zelmo --help lists no option: $help"
for page in "$@"; do
    # The option entries: the tags of the OPTIONS (OPCJE) section's paragraphs.
    described=$(awk '/^\.SH/ { options = $2 == "OPTIONS" || $2 == "OPCJE" }
        /^\.TP/ { tag = 1; next } tag && options { print } { tag = 0 }' "$page" |
        sed 's/\\-/-/g' | sed -n 's/^\.BI\{0,1\} --\([a-z-]*\).*/--\1/p' | sort -u | tr '\n' ' ')
    [ "$described" = "$listed" ] ||
        fail "$(basename "$(dirname "$page")")/$(basename "$page") describes $described; zelmo --help lists $listed"
done
echo "PASS: the manual pages and --help name the same options: $listed"
