// The ladders that the benchmarks time a network step on: R-C and R-L
// ladders of n nodes in one subsystem, set up as the map reader leaves
// them, and the first step of a run.
#pragma once

#include <cstdlib>

#include "engine/engine_reset.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "engine/time_step.h"
#include "network/companion.h"
#include "network/dimensions.h"
#include "network/network_tables.h"
#include "network/solve_network.h"
#include "network/tests/one_subsystem.h"

namespace bench {

inline constexpr double kStep = 1e-6;

// Storage for one subsystem of n nodes and nb branches, with room for the
// given transformer windings and transformers.
inline void tables(int32_t n, int32_t nb, int32_t windings = 0, int32_t trafos = 0) {
    allocate_one_subsystem(n, nb, {{ND_SPARSITY, 2 * n + 10}, {ND_WINDINGS, windings}, {ND_TRAFOS, trafos}});
    NET.SSRMCHAT(1) = LFALSE;
    NET.SSDETCHAT(1) = LFALSE;
    RUN_CLOCK.DELT = kStep;
    NET.NBUSES(1) = n;
}

// A branch as the branch reader enters it (C in farads).
inline int32_t branch(int32_t from, int32_t to, double R, double L, double C, double E, bool sw = false) {
    NetworkTables& N = NET;
    const int32_t b = ++N.NBRANCHES(1);
    N.IEF(b, 1) = from;
    N.IET(b, 1) = to;
    N.RESISTOR(b, 1) = as_logical(R != 0.0);
    N.INDUCTOR(b, 1) = as_logical(L != 0.0);
    N.CAPACITR(b, 1) = as_logical(C != 0.0);
    N.SOURCE(b, 1) = as_logical(E != 0.0);
    N.SWITCH(b, 1) = as_logical(sw);
    N.BRANCH_R(b, 1) = R;
    const double xl = L != 0.0 ? 2.0 * L / kStep : 0.0, xc = C != 0.0 ? kStep / (2.0 * C) : 0.0;
    N.G2L(b, 1) = xl != 0.0 ? 1.0 / xl : 0.0;
    N.G2C(b, 1) = xc != 0.0 ? 1.0 / xc : 0.0;
    const double g = 1.0 / (R + xl + xc);
    set_companion(b, 1, g, R, xl, xc);
    N.EBR(b, 1) = N.EBRD(b, 1) = E;
    N.TSWITCH(b, 1) = 1.5;
    if (sw) {
        N.SWLIST(++N.NSWITCH(1), 1) = b;
    } else if (from == 0 || to == 0) {
        SSDESC_RA(1)(from + to, from + to) += g;
    } else {
        SSDESC_RA(1)(to, from) += g;
        SSDESC_RA(1)(from, to) = SSDESC_RA(1)(to, from);
    }
    if (from != 0 && to != 0) SSDESC_IA(1)(from, to) = SSDESC_IA(1)(to, from) = -1;
    return b;
}

// R-C ladder: series R, C to ground at every node.
inline void rc_ladder(int32_t n, int32_t switch_node = 0) {
    tables(n, 2 * n + 2);
    branch(0, 1, 1.0, 0.0, 0.0, 1.0);
    for (int32_t k = 1; k <= n; ++k) {
        branch(k, 0, 0.0, 0.0, 1e-6, 0.0);
        branch(k, k < n ? k + 1 : 0, k < n ? 1.0 : 100.0, 0.0, 0.0, 0.0);
    }
    if (switch_node > 0) branch(switch_node, 0, 1e6, 0.0, 0.0, 0.0, true);
}

// R-L ladder: series R-L, R to ground at every node.
inline void rl_ladder(int32_t n) {
    tables(n, 2 * n + 1);
    branch(0, 1, 1.0, 0.0, 0.0, 1.0);
    for (int32_t k = 1; k <= n; ++k) {
        branch(k, 0, 100.0, 0.0, 0.0, 0.0);
        if (k < n) branch(k, k + 1, 1.0, 1e-3, 0.0, 0.0);
    }
}

inline void first_step() {
    RUN_CLOCK.NSTEP = 0;
    RUN_FLAGS.FIRST_STEP_DATA = RUN_FLAGS.FIRST_STEP_RUN = LTRUE;
    NET.MXINV(1) = 1;
    NET.NTRIANG(1) = 0;
    SSINIT();
    SOLVE_NETWORK();
    RUN_FLAGS.FIRST_STEP_DATA = RUN_FLAGS.FIRST_STEP_RUN = LFALSE;
    RUN_CLOCK.NSTEP = 1;
}

}  // namespace bench
