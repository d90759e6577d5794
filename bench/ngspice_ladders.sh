# Shared by the comparison scripts (sourced): the 1,000-node ladders as
# ngspice netlists at a fixed 1 us step, and ngspice's time per time point.
# R-C: a 1 V source behind 1 ohm into node 1, 1 ohm between neighbours,
# 1 uF to ground, 100 ohm at the end; R-L: the source likewise, 1 ohm and
# 1 mH between neighbours, 100 ohm to ground at every node.

# ladder_netlist rc|rl nodes file
ladder_netlist() {
    awk -v kind="$1" -v n="$2" 'BEGIN {
        print "* " kind " ladder"; print "V1 in 0 PWL(0 0 1u 1)"; print "R0 in n1 1"
        for (k = 1; k <= n; k++) {
            if (kind == "rc") {
                print "C" k " n" k " 0 1u"
                if (k < n) print "R" k " n" k " n" k + 1 " 1"; else print "R" k " n" k " 0 100"
            } else {
                print "RG" k " n" k " 0 100"
                if (k < n) { print "R" k " n" k " m" k " 1"; print "L" k " m" k " n" k + 1 " 1m" }
            }
        }
        print ".options method=trap"; print ".tran 1u 2m 0 1u"
        print ".control"; print "run"; print "rusage all"; print ".endc"; print ".end" }' > "$3"
}

# ngspice_us file: the best of three runs, analysis time over accepted time
# points, in microseconds.
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
