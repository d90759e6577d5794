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
        // The map marks the interface branches D and the R-C branches S.
        (b <= 3 ? N.DEFRDBR : N.SWITCH)(b, 1) = LTRUE;
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

// The example compensator's set-up data; fields are the set-up call's
// arguments after the six branches.
struct Ratings {
    double S = 100, V1 = 230, V2 = 10, mag_p = 1, mag_y = 1, mag_d = 1, f = 60, xPY = 0.15, xPD = 0.15, xYD = 0.30;
    double QL = 100, QC = 100, Q0 = 10, Rs = 1000, Cs = 0.1, Ron = 0.01, Roff = 1e6, Rd = 1e4;
    int32_t NCAP = 4, NC0 = 2;
    double Kp = 50, Ki = 2000;
    int32_t N = 10, M = 10;
    double Xair = 0.3, knee = 1.2, G0 = 0, tau = 0.05, k = 1;
};

}  // namespace svc_test
