#!/bin/sh
# Writes a text file the way Notepad reads it on every Windows: UTF-8 with a byte-order mark
# (without one, Notepad before Windows 10 1903 takes it for the ANSI code page) and CRLF line ends.
#   windows-text.sh SOURCE TARGET
set -eu
{
    printf '\357\273\277'
    sed -e '1s/^\xEF\xBB\xBF//' -e 's/\r$//' -e 's/$/\r/' "$1"
} >"$2.tmp"
mv "$2.tmp" "$2"
