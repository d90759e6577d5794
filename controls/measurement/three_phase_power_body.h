// The three-phase power blocks' bodies, inline for the modules' meters,
// which measure a group of three branches on every step.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "controls/block_slots.h"
#include "controls/elementary/smooth_lag.h"
#include "controls/measurement/power_meters.h"
#include "engine/model_helpers.h"
#include "network/network_tables.h"

namespace power_detail {

inline constexpr double kInvSqrt3 = 0.577350269189626;

struct Phases {
    double va, vb, vc, ia, ib, ic;
};

// The voltages at the measuring ends of three branches and their currents.
[[gnu::always_inline]] inline Phases branch_phases(const char* name, int32_t SS, int32_t BR1, int32_t BR2, int32_t BR3,
                                                   int32_t FLAG) {
    const int32_t b[3] = {std::abs(BR1), std::abs(BR2), std::abs(BR3)};
    if (first_step_data()) [[unlikely]]
        for (int32_t br : b) CHKBRANCH(name, br, SS);
    const NetworkTables& N = NET;
    const bool to_end = (BR1 < 0) != (FLAG != 0);
    const FArray2<int32_t>& ends = to_end ? N.IET : N.IEF;
    // The branch tables share one shape: checked once for the subsystem and
    // the three branches, they are read directly.
    const uint64_t nb = static_cast<uint64_t>(N.CBR.extent(1)), nn = static_cast<uint64_t>(N.VNODE.extent(1));
    const uint64_t s = static_cast<uint64_t>(int64_t{SS} - 1);
    if (s < static_cast<uint64_t>(N.CBR.extent(2)) && s < static_cast<uint64_t>(N.VNODE.extent(2)) &&
        static_cast<uint64_t>(b[0] - 1) < nb && static_cast<uint64_t>(b[1] - 1) < nb &&
        static_cast<uint64_t>(b[2] - 1) < nb) {
        const int32_t* end = ends.data() + nb * s - 1;
        const double* cbr = N.CBR.data() + nb * s - 1;
        const double* vnode = N.VNODE.data() + nn * s - 1;
        const auto v = [&](int32_t node) {
            return node == 0 ? 0.0 : (static_cast<uint64_t>(node - 1) < nn ? vnode[node] : N.VNODE(node, SS));
        };
        return {v(end[b[0]]), v(end[b[1]]), v(end[b[2]]), cbr[b[0]], cbr[b[1]], cbr[b[2]]};
    }
    double v[3], i[3];
    for (int k = 0; k < 3; ++k) {
        v[k] = NODEV(SS, to_end ? N.IET(b[k], SS) : N.IEF(b[k], SS));
        i[k] = N.CBR(b[k], SS);
    }
    return {v[0], v[1], v[2], i[0], i[1], i[2]};
}

inline double real_power(const Phases& p) { return p.ia * p.va + p.ib * p.vb + p.ic * p.vc; }
inline double reactive_power(const Phases& p) {
    return kInvSqrt3 * (p.ia * (p.vb - p.vc) + p.ib * (p.vc - p.va) + p.ic * (p.va - p.vb));
}

// The power x through the branches smoothed; x is kept in the slot after
// the lag's.
[[gnu::always_inline]] inline double smoothed(double x, int32_t BR1, double T) {
    if (BR1 < 0) x = -x;
    // The lag's two slots and x's, reached directly when they lie inside STOR.
    const BlockSlots s = take_slots({.stor = 3});
    FArray1<double>& stor = STORAGE.STOR;
    if (s.stor >= 1 && int64_t{s.stor} + 2 <= stor.size()) {
        double* const at = stor.data() + (s.stor - 1);
        const double y = smooth_lag_on(at[0], at[1], 1.0, T, x);
        at[2] = x;
        return y;
    }
    double& gap = s.S(0);
    double& y_last = s.S(1);
    const double y = smooth_lag_on(gap, y_last, 1.0, T, x);
    s.S(2) = x;
    return y;
}

// The pair of blocks on one group of branches.
[[gnu::always_inline]] inline void power_pair(int32_t SS, int32_t BR1, int32_t BR2, int32_t BR3, double T,
                                              int32_t FLAG, double& P, double& Q) {
    // The first step checks the branches under each block's own name.
    if (first_step_data()) {
        P = P3PH3(SS, BR1, BR2, BR3, T, FLAG);
        Q = Q3PH3(SS, BR1, BR2, BR3, T, FLAG);
        return;
    }
    const Phases p = branch_phases("P3PH3", SS, BR1, BR2, BR3, FLAG);
    double x = real_power(p), r = reactive_power(p);
    // Both lags' slots and their inputs' in one block, stepped together
    // when it lies inside STOR; else each as its own block takes them.
    const int32_t first = POINTER_BLOCK.NEXC + 1;
    FArray1<double>& stor = STORAGE.STOR;
    if (first >= 1 && int64_t{first} + 5 <= stor.size()) {
        take_slots({.stor = 6});
        if (BR1 < 0) {
            x = -x;
            r = -r;
        }
        double* const at = stor.data() + (first - 1);
        double yp, yq;
        smooth_lag_pair(at, at + 3, 1.0, T, x, r, yp, yq);
        at[2] = x;
        at[5] = r;
        P = yp;
        Q = yq;
        return;
    }
    P = smoothed(x, BR1, T);
    Q = smoothed(r, BR1, T);
}

// P3PH3's body, and Q3PH3's with reactive.
[[gnu::always_inline]] inline double branch_power(bool reactive, int32_t SS, int32_t BR1, int32_t BR2, int32_t BR3,
                                                  double T, int32_t FLAG) {
    const Phases p = branch_phases(reactive ? "Q3PH3" : "P3PH3", SS, BR1, BR2, BR3, FLAG);
    return smoothed(reactive ? reactive_power(p) : real_power(p), BR1, T);
}

}  // namespace power_detail

// P3PH3's body.
[[gnu::always_inline]] inline double p3ph3(int32_t SS, int32_t BR1, int32_t BR2, int32_t BR3, double T, int32_t FLAG) {
    return power_detail::branch_power(false, SS, BR1, BR2, BR3, T, FLAG);
}

// RMS_3PH_RECT's body, its lag SMOOTH_LAG's.
[[gnu::always_inline]] inline double rms_3ph_rect(int32_t SS, int32_t N1, int32_t N2, int32_t N3, double T) {
    const double va = NODEV(SS, N1), vb = NODEV(SS, N2), vc = NODEV(SS, N3);
    const double d = std::fmax(va, std::fmax(vb, vc)) - std::fmin(va, std::fmin(vb, vc));
    return smooth_lag(0.7407, T, d);
}

// PQ3PH3's body.
[[gnu::always_inline]] inline void pq3ph3(int32_t SS, int32_t BR1, int32_t BR2, int32_t BR3, double T, int32_t FLAG,
                                          double& P, double& Q) {
    power_detail::power_pair(SS, BR1, BR2, BR3, T, FLAG, P, Q);
}

// PQ3PH_METER's body.
[[gnu::always_inline]] inline void pq3ph_meter(int32_t SS, int32_t BR1, int32_t BR2, int32_t BR3, int32_t BR4,
                                               int32_t BR5, int32_t BR6, int32_t& ONE, double T, double& P,
                                               double& Q) {
    int32_t& grounded = take_slots({.stori = 1}).I(0);
    ONE = 1;
    if (first_step_data()) {
        // Branches outside the tables are left to the power blocks' checks.
        const NetworkTables& N = NET;
        int32_t sum = 0;
        for (int32_t br : {BR1, BR2, BR3}) sum += N.IEF.in_range(std::abs(br), SS) ? N.IEF(std::abs(br), SS) : 1;
        grounded = sum == 0 ? 1 : 0;
    }
    // A group entered backwards on grounded from-nodes is measured at its
    // to-nodes and negated, not at ground.
    const auto side = [&](int32_t first) { return grounded == 1 && first < 0 ? 0 : grounded; };
    power_detail::power_pair(SS, BR1, BR2, BR3, T, side(BR1), P, Q);
    if (BR4 == 0 || BR5 == 0 || BR6 == 0) {
        take_slots({.stor = 6});
        return;
    }
    double p = 0.0, q = 0.0;
    PQ3PH3(SS, BR4, BR5, BR6, T, side(BR4), p, q);
    P += p;
    Q += q;
}
