// A compensator's surroundings for its tests and benchmark: one subsystem
// of three bus nodes, interface branches 1-3 from ground to the bus phases
// and three further branches 4-6, and storage for a few compensators.
#pragma once

#include <cmath>
#include <cstdlib>

#include "engine/engine_reset.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "engine/time_step.h"
#include "network/dimensions.h"
#include "network/network_tables.h"

namespace svc_test {

constexpr double kStep = 50e-6;

inline void tables() {
    reset_all_engine_state();
    for (const auto& [k, v] : {std::pair{ND_NODES, 3}, {ND_SUBSYS, 1}, {ND_BRANCHES, 6}, {ND_SPARSITY, 22},
                               {ND_STOR, 2000}, {ND_RTCI, 40}, {ND_RTCF, 600}})
        DIMBLOCK.REQ[k] = v;
    DIMBLOCK.NSUBSYS = 1;
    int32_t status = 0;
    ALLOC_STORAGE(status);
    ALLOC_SSLIST(1, status);
    SOLUTION_ARRAYS.SSDIM(1) = 3;
    ALLOCATION(1, status);
    if (status != 0) std::abort();
    CLEAR_STORAGE();
    RUN_CLOCK.DELT = kStep;
    NetworkTables& N = NET;
    N.NBUSES(1) = 3;
    N.NBRANCHES(1) = 6;
    for (int32_t b = 1; b <= 6; ++b) {
        N.IEF(b, 1) = 0;
        N.IET(b, 1) = b <= 3 ? b : b - 3;
    }
    RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    RESETPTRS();
}

// Bus phase voltages of amplitude V (kV) at frequency f, phase a at angle
// w t + phi.
inline void bus(double V, double f, double t, double phi = 0.0) {
    for (int32_t k = 0; k < 3; ++k)
        NET.VNODE(k + 1, 1) = V * std::sin(2.0 * M_PI * f * t + phi - k * 2.0 * M_PI / 3.0);
}

}  // namespace svc_test
