#!/bin/bash
# SHA-256 of the README run's output files and of a snapshot of the case at
# 1.0 s, made by the given program (default build/zarik), each run in a
# scratch copy of the case's own files: compare two builds' lines to see
# that no result bit moved.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
program=$(readlink -f "${1:-$here/build/zarik}")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$here"/tools/copy_case.sh "$here/case/data" "$scratch"
"$here"/tools/copy_case.sh "$here/case/data" "$scratch/snap"
cd "$scratch"
"$program" -startup:alone < answers.txt > console.txt 2>&1
(cd snap && printf '0\n1\n1.0\nhalf\nstation.map\n1\n0\n0\n' | "$program" -startup:alone > console.txt 2>&1)
sha256sum station.inf station_*.out snap/half.snp
grep "Number of Matrix Switchings" console.txt
