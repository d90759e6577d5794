// A one-subsystem network whose node voltages and branch currents a test
// writes directly, for the measuring blocks.
#pragma once

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "network/dimensions.h"
#include "network/network_tables.h"

inline constexpr int32_t kNetNodes = 12;

// Subsystem 1 with the branches given as (from, to), nodes 1..kNetNodes,
// every voltage and current 0.
inline void small_network(const std::vector<std::pair<int32_t, int32_t>>& branches) {
    NetworkTables& N = NET;
    DIMBLOCK.NSUBSYS = 1;
    const int32_t nb = static_cast<int32_t>(branches.size());
    N.VNODE.allocate(kNetNodes, 1);
    N.VNODE.fill(0.0);
    N.CBR.allocate(nb, 1);
    N.CBR.fill(0.0);
    N.IEF.allocate(nb, 1);
    N.IET.allocate(nb, 1);
    N.NBUSES.allocate(1);
    N.NBRANCHES.allocate(1);
    N.NBUSES(1) = kNetNodes;
    N.NBRANCHES(1) = nb;
    for (int32_t b = 1; b <= nb; ++b) {
        N.IEF(b, 1) = branches[static_cast<size_t>(b - 1)].first;
        N.IET(b, 1) = branches[static_cast<size_t>(b - 1)].second;
    }
}

// Phase k (0, 1, 2) of a balanced set of peak m lagging by 120 degrees
// each: m*sin(angle - k*2*pi/3).
inline double phase_of(double m, double angle, int k) { return m * std::sin(angle - k * 2.0943951023931953); }
