#!/bin/sh
# Checks that every #include "..." between the project's folders points down the layers, so the
# folder graph can have no cycle. Prints each upward or sideways edge; exits 1 when there is one.
#   tools/layers.sh [SOURCE_ROOT]
# Layers, lowest first; a file belongs to the longest folder that matches its path:
#   platform (the system's services as interfaces)  <  platform/{portable,linux,win32}  <  output
#   <  pcl  <  printers  <  printers/pdf  <  printers/{cups,win32,simulated}  <  pipeline  <  shell
#   <  shell/{qt,win32}  <  tools, filter  <  the tests, bench, fuzz
# Folders of one layer may not include each other (shell/qt never reaches into shell/win32).
cd "${1:-$(dirname "$0")/..}" || exit 2

rank() {
    case "$1" in
        shell/tests/* | shell/win32/tests/* | tests/* | bench/* | fuzz/*) echo "12 ${1%%/*}" ;;
        tools/*) echo "11 tools" ;;
        filter/*) echo "11 filter" ;;
        shell/qt/*) echo "10 shell/qt" ;;
        shell/win32/*) echo "10 shell/win32" ;;
        shell/*) echo "9 shell" ;;
        pipeline/*) echo "8 pipeline" ;;
        printers/pdf/*) echo "6 printers/pdf" ;;
        printers/*/*) echo "7 printers/$(echo "$1" | cut -d/ -f2)" ;;
        printers/*) echo "5 printers" ;;
        pcl/*) echo "4 pcl" ;;
        output/*) echo "3 output" ;;
        platform/*/*) echo "2 platform/$(echo "$1" | cut -d/ -f2)" ;;
        platform/*) echo "1 platform" ;;
        *) echo "0 ?" ;;
    esac
}

bad=0
for file in $(find pcl output printers pipeline platform shell tools filter tests bench fuzz \( -name '*.h' -o -name '*.cpp' \) | sort); do
    set -- $(rank "$file")
    from_rank=$1 from_dir=$2
    [ "$from_rank" = 0 ] && continue
    for target in $(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file"); do
        [ -e "$target" ] || continue  # a system or generated header
        set -- $(rank "$target")
        if [ "$1" -gt "$from_rank" ] || { [ "$1" = "$from_rank" ] && [ "$2" != "$from_dir" ] &&
            [ "$from_rank" != 12 ]; }; then
            echo "$file -> $target ($from_dir may not include $2)"
            bad=1
        fi
    done
done
[ "$bad" = 0 ] && echo "every include points down"
exit "$bad"
