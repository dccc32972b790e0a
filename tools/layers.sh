#!/bin/sh
# Checks that every #include "..." between the project's folders points down the layers, so the
# folder graph can have no cycle. Prints each upward or sideways edge; exits 1 when there is one.
#   tools/layers.sh [SOURCE_ROOT]
# Layers, lowest first; a file belongs to the longest folder that matches its path:
#   platform (interfaces)  <  platform/pdf  <  platform/{portable,linux,cups,win32}  <  output
#   <  pcl  <  pipeline  <  shell  <  shell/{qt,win32}  <  tools  <  the tests, bench, fuzz
# Folders of one layer may not include each other (shell/qt never reaches into shell/win32).
cd "${1:-$(dirname "$0")/..}" || exit 2

rank() {
    case "$1" in
        shell/tests/* | shell/win32/tests/* | tests/* | bench/* | fuzz/*) echo "10 ${1%%/*}" ;;
        tools/*) echo "9 tools" ;;
        shell/qt/*) echo "8 shell/qt" ;;
        shell/win32/*) echo "8 shell/win32" ;;
        shell/*) echo "7 shell" ;;
        pipeline/*) echo "6 pipeline" ;;
        pcl/*) echo "5 pcl" ;;
        output/*) echo "4 output" ;;
        platform/pdf/*) echo "2 platform/pdf" ;;
        platform/*/*) echo "3 platform/$(echo "$1" | cut -d/ -f2)" ;;
        platform/*) echo "1 platform" ;;
        *) echo "0 ?" ;;
    esac
}

bad=0
for file in $(find pcl output pipeline platform shell tools tests bench fuzz \( -name '*.h' -o -name '*.cpp' \) | sort); do
    set -- $(rank "$file")
    from_rank=$1 from_dir=$2
    [ "$from_rank" = 0 ] && continue
    for target in $(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file"); do
        [ -e "$target" ] || continue  # a system or generated header
        set -- $(rank "$target")
        if [ "$1" -gt "$from_rank" ] || { [ "$1" = "$from_rank" ] && [ "$2" != "$from_dir" ] &&
            [ "$from_rank" != 10 ]; }; then
            echo "$file -> $target ($from_dir may not include $2)"
            bad=1
        fi
    done
done
[ "$bad" = 0 ] && echo "every include points down"
exit "$bad"
