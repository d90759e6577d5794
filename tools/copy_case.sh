#!/bin/sh
# Copies a case's own files from one folder into another: the map file and
# its page files, the module data files, the answers, the notes and the
# script that writes them. What runs leave in the folder (output files,
# snapshots, pictures, output folders) stays behind.
# Usage: tools/copy_case.sh from to   (to is made when missing)
set -eu
[ $# -eq 2 ] || { echo "usage: $0 from to" >&2; exit 2; }
mkdir -p "$2"
for f in "$1"/*.map "$1"/*.dta "$1"/answers.txt "$1"/*.md "$1"/*.py; do
    if [ -f "$f" ]; then cp "$f" "$2"/; fi
done
