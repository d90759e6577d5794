#!/bin/sh
# Installs the Debian packages that building and testing the engine need,
# only those that are missing, so that a fresh machine needs nothing else.
#   cmake, g++            the build
#   libgtest-dev          the tests
#   libbenchmark-dev      the benchmarks (bench/)
#   ngspice               the reference waveforms that the solution tests
#                         compare the network solution with
#   gfortran              the reference for the Fortran-style number formats
#   python3-numpy         reads the output files in their tests
#   gnuplot-nox           draws the output files in their tests
# With --dry-run it names what it would install and changes nothing.
set -eu

PACKAGES="cmake g++ libgtest-dev libbenchmark-dev ngspice gfortran python3-numpy gnuplot-nox"

dry_run=0
case "${1:-}" in
    --dry-run) dry_run=1 ;;
    "") ;;
    *)
        echo "usage: $0 [--dry-run]" >&2
        exit 2
        ;;
esac

missing=""
for pkg in $PACKAGES; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    case "$status" in
        *" installed") ;;
        *) missing="$missing $pkg" ;;
    esac
done
missing=${missing# }

if [ -z "$missing" ]; then
    echo "All build and test dependencies are installed."
    exit 0
fi
if [ "$dry_run" = 1 ]; then
    echo "Would install: $missing"
    exit 0
fi

echo "Installing: $missing"
if [ "$(id -u)" = 0 ]; then SUDO=""; else SUDO="sudo"; fi
$SUDO apt-get update -qq
# shellcheck disable=SC2086 # one word per package
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing
