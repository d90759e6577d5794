#include "controls/zero_cross.h"

#include <cmath>

#include "controls/block_slots.h"
#include "engine/run_state.h"

namespace {

// prev is the slot holding the previous step's X.
void detect(double& prev, double X, INTERP_PAIR& result) {
    result.value = 0.0;
    result.time = 0.0;
    if (!first_step_data()) {
        // A previous value of exactly 0 never counts as a crossing.
        if (prev < 0.0 && X >= 0.0)
            result.value = 1.0;
        else if (prev > 0.0 && X <= 0.0)
            result.value = -1.0;
        if (result.value != 0.0) {
            const double DELT = RUN_CLOCK.DELT;
            result.time = std::fabs(X - prev) > 1e-30 ? DELT * X / (X - prev) : 0.5 * DELT;
        }
    }
    prev = X;
}

}  // namespace

void ZERO_CROSS(double X, INTERP_PAIR& result) {
    const BlockSlots s = take_slots({.stor = 1});
    detect(s.S(0), X, result);
}

void ZERO_CROSS_F(double X, INTERP_PAIR& result) {
    const BlockSlots s = take_slots({.storf = 1});
    detect(s.F(0), X, result);
}
