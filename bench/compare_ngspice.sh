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

. bench/ngspice_ladders.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
n=1000

for ladder in rc rl; do ladder_netlist $ladder $n "$work/$ladder.cir"; done

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
