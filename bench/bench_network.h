// Shared pieces of the benchmarks: storage for one subsystem and a branch
// entered as the branch reader enters it.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "engine/engine_reset.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "network/companion.h"
#include "network/dimensions.h"
#include "network/network_tables.h"

// Storage for one subsystem of n nodes and nb branches at time step dt,
// with room for the given windings and transformers.
inline void bench_tables(int32_t n, int32_t nb, double dt, int32_t windings = 0, int32_t trafos = 0) {
    reset_all_engine_state();
    DIMBLOCK.REQ[ND_NODES] = n;
    DIMBLOCK.REQ[ND_SUBSYS] = 1;
    DIMBLOCK.REQ[ND_BRANCHES] = nb;
    DIMBLOCK.REQ[ND_SPARSITY] = 2 * n + 10;
    DIMBLOCK.REQ[ND_WINDINGS] = windings;
    DIMBLOCK.REQ[ND_TRAFOS] = trafos;
    DIMBLOCK.NSUBSYS = 1;
    int32_t status = 0;
    ALLOC_STORAGE(status);
    ALLOC_SSLIST(1, status);
    SOLUTION_ARRAYS.SSDIM(1) = n;
    ALLOCATION(1, status);
    if (status != 0) std::abort();
    CLEAR_STORAGE();
    NET.SSRMCHAT(1) = LFALSE;
    NET.SSDETCHAT(1) = LFALSE;
    RUN_CLOCK.DELT = dt;
    NET.NBUSES(1) = n;
}

// A branch as the branch reader enters it (C in farads).
inline int32_t bench_branch(int32_t from, int32_t to, double R, double L, double C, double E, bool sw = false) {
    NetworkTables& N = NET;
    const double dt = RUN_CLOCK.DELT;
    const int32_t b = ++N.NBRANCHES(1);
    N.IEF(b, 1) = from;
    N.IET(b, 1) = to;
    N.RESISTOR(b, 1) = as_logical(R != 0.0);
    N.INDUCTOR(b, 1) = as_logical(L != 0.0);
    N.CAPACITR(b, 1) = as_logical(C != 0.0);
    N.SOURCE(b, 1) = as_logical(E != 0.0);
    N.SWITCH(b, 1) = as_logical(sw);
    N.BRANCH_R(b, 1) = R;
    const double xl = L != 0.0 ? 2.0 * L / dt : 0.0, xc = C != 0.0 ? dt / (2.0 * C) : 0.0;
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
