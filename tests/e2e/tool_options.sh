#!/usr/bin/env bash
# Every program behaves like a tool: --help prints its usage on standard output and --version
# its name and the build's version, both exiting 0; neither, nor an unknown option, is ever taken
# as the name of a file to read or write.
#   tool_options.sh VERSION PROGRAM...
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
[ $# -ge 2 ] || fail "usage: $0 VERSION PROGRAM..."
version=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || fail "no working folder"
export QT_QPA_PLATFORM=offscreen HOME=$work

for program in "$@"; do
    name=$(basename "$program")
    "$program" --help >out.txt 2>err.txt || fail "$name --help exited $?: $(cat err.txt)"
    grep -qi 'usage\|użycie' out.txt || fail "$name --help printed: $(cat out.txt)"
    "$program" --version >out.txt 2>err.txt || fail "$name --version exited $?: $(cat err.txt)"
    [ "$(cat out.txt)" = "$name $version" ] || fail "$name --version printed: $(cat out.txt)"
    "$program" --bogus >out.txt 2>err.txt </dev/null
    [ $? -ne 0 ] || fail "$name took --bogus"
    leftover=$(ls -A | grep -v '^out.txt$\|^err.txt$')
    [ -z "$leftover" ] || fail "$name left files named after its options: $leftover"
done
echo "PASS: --help and --version of $*"
