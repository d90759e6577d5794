#!/bin/sh
# The whole program against ngspice on the 1,000-node R-C ladder at a fixed
# 1 us step: a 1 V source behind 1 ohm into node 1, 1 ohm between
# neighbours, 1 uF to ground at each node, 100 ohm at the end.
# The program's time per step is the difference of a 21,000-step and a
# 1,000-step run of build/zarik-bare, over 20,000 (best of five each);
# ngspice's is its transient analysis time over its accepted time points
# (best of three). Prints both and their ratio.
# Usage: bench/program_vs_ngspice.sh [build directory]   (default: build)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
command -v ngspice >/dev/null || { echo "ngspice is not installed"; exit 1; }
[ -x "$build/zarik-bare" ] || { echo "$build/zarik-bare is missing: build it first"; exit 1; }
program=$(cd "$build" && pwd)/zarik-bare

. bench/ngspice_ladders.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
n=1000

# A map file and its page for a run of the given number of steps.
ladder_map() {
    mkdir -p "$work/$1"
    awk -v n=$n -v steps=$1 'BEGIN {
        print "DIMENSIONS:"; print " NODES = " n; print " SUBSYS = 1"; print " BRANCHES = " 2 * n + 1
        print " NNODES = " n + 4; print " NPAGES = 1"; print " SUBSYSPAGE = 1"; print " SPARSITY = " 2 * n + 10
        print "PARAMETERS:"; print " TIME_STEP = 1.0E-6"; print " PRINT_STEP = 1.0E-3"
        printf " FINISH_TIME = %.6E\n", steps * 1e-6
        print "SUBSYSDIM:"; print " 1 " n
        printf "MAP: '\''page.map'\''\n 1 %d ", n; for (k = 1; k <= n; k++) printf " %d", k; print ""
        print " 0 0"; print "ENDCASE" }' > "$work/$1/ladder.map"
    awk -v n=$n 'BEGIN { print "BRANCHES:"; print " 0 1 RE 1.0 1.0"
        for (k = 1; k <= n; k++) {
            print " " k " 0 C 1.0"
            if (k < n) print " " k " " k + 1 " R 1.0"; else print " " k " 0 R 100.0"
        }
        print "ENDPAGE" }' > "$work/$1/page.map"
    printf '0\n0\nladder.map\n1\n0\n0\n' > "$work/$1/answers.txt"
}

# Best of five runs of the program, in nanoseconds.
program_ns() {
    best=""
    for run in 1 2 3 4 5; do
        start=$(date +%s%N)
        (cd "$work/$1" && "$program" -startup:alone < answers.txt > out.txt)
        ns=$(( $(date +%s%N) - start ))
        grep -q "Stop Time" "$work/$1/out.txt" || { echo "the run of $1 steps did not end normally" >&2; exit 1; }
        if [ -z "$best" ] || [ "$ns" -lt "$best" ]; then best=$ns; fi
    done
    echo "$best"
}

ladder_netlist rc $n "$work/rc.cir"

ladder_map 1000
ladder_map 21000
short=$(program_ns 1000)
long=$(program_ns 21000)
engine=$(awk -v a="$short" -v b="$long" 'BEGIN { printf "%.2f", (b - a) / 20000 / 1000 }')
ng=$(ngspice_us "$work/rc.cir")
ratio=$(awk -v a="$ng" -v b="$engine" 'BEGIN { printf "%.1f", a / b }')
echo "R-C ladder, $n nodes, 1 us step: program $engine us per step, ngspice $ng us per time point: $ratio times faster"
