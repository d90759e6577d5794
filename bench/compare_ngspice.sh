#!/bin/sh
# Compares one step of the network solution on the 1,000-node R-C and R-L
# ladders (bench/solution_bench) with ngspice's time per time point on the
# same ladders at the same fixed step (1 us, trapezoidal rule).
# Usage: bench/compare_ngspice.sh [build directory]   (default: build-bench)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build-bench}
command -v ngspice >/dev/null || { echo "ngspice is not installed"; exit 1; }
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARIK_BENCH=ON >/dev/null
cmake --build "$build" --target solution_bench -j2 >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
n=1000

# The ladders of the benchmark: a 1 V source behind 1 ohm into node 1;
# R-C: 1 ohm between neighbours, 1 uF to ground, 100 ohm at the end;
# R-L: 1 ohm and 1 mH between neighbours, 100 ohm to ground at every node.
awk -v n=$n 'BEGIN {
    print "* R-C ladder"; print "V1 in 0 PWL(0 0 1u 1)"; print "R0 in n1 1"
    for (k = 1; k <= n; k++) {
        print "C" k " n" k " 0 1u"
        if (k < n) print "R" k " n" k " n" k + 1 " 1"; else print "R" k " n" k " 0 100"
    }
    print ".options method=trap"; print ".tran 1u 2m 0 1u"
    print ".control"; print "run"; print "rusage all"; print ".endc"; print ".end" }' > "$work/rc.cir"
awk -v n=$n 'BEGIN {
    print "* R-L ladder"; print "V1 in 0 PWL(0 0 1u 1)"; print "R0 in n1 1"
    for (k = 1; k <= n; k++) {
        print "RG" k " n" k " 0 100"
        if (k < n) { print "R" k " n" k " m" k " 1"; print "L" k " m" k " n" k + 1 " 1m" }
    }
    print ".options method=trap"; print ".tran 1u 2m 0 1u"
    print ".control"; print "run"; print "rusage all"; print ".endc"; print ".end" }' > "$work/rl.cir"

# ngspice: the best of three runs, analysis time over accepted time points.
ngspice_us() {
    best=""
    for run in 1 2 3; do
        us=$(ngspice -b "$1" 2>&1 | awk '
            /Accepted timepoints/ { p = $NF }
            /Transient analysis time/ { t = $NF }
            END { if (p > 0) printf "%.3f", t / p * 1e6 }')
        if [ -z "$best" ] || awk -v a="$us" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$us; fi
    done
    echo "$best"
}

# The engine: the best of five repetitions, nanoseconds per step.
engine_us() {
    "$build/bench/solution_bench" --benchmark_filter="^$1_one_step/$n\$" --benchmark_repetitions=5 2>/dev/null |
        awk -v name="$1_one_step/$n" '$1 == name { t = $2; u = $3
            if (u == "us") t *= 1000; if (u == "ms") t *= 1e6
            if (best == "" || t < best) best = t }
            END { printf "%.3f", best / 1000 }'
}

status=0
for ladder in rc rl; do
    ng=$(ngspice_us "$work/$ladder.cir")
    en=$(engine_us $ladder)
    ratio=$(awk -v a="$ng" -v b="$en" 'BEGIN { printf "%.1f", a / b }')
    echo "$ladder ladder, $n nodes: ngspice $ng us per time point, engine $en us per step: $ratio times faster"
    awk -v r="$ratio" 'BEGIN { exit !(r >= 10) }' || status=1
done
[ $status -eq 0 ] && echo "PASS: at least 10 times faster" || echo "FAIL: less than 10 times faster"
exit $status
