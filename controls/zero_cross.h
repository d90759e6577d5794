// Sign changes of a signal between two steps, with the interpolated instant
// of the crossing inside the step.
#pragma once

#include <cmath>

#include "controls/block_slots.h"
#include "controls/interp_pair.h"
#include "engine/run_state.h"
#include "platform/logical.h"

// value +1 rising through 0, -1 falling through 0, else 0; time measured
// back from the step's end. One slot in STOR.
void ZERO_CROSS(double X, INTERP_PAIR& result);
// The same with its slot in STORF.
void ZERO_CROSS_F(double X, INTERP_PAIR& result);

// Whether a detection found a crossing.
inline bool crossed(const INTERP_PAIR& z) { return nint(z.value) != 0; }

// The detection on the slot holding the previous step's X: inline for the
// pulse blocks, which run it twice on every step.
[[gnu::always_inline]] inline void zero_cross_on(double& prev, double X, INTERP_PAIR& result) {
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

// ZERO_CROSS_F's body.
[[gnu::always_inline]] inline void zero_cross_f(double X, INTERP_PAIR& result) {
    zero_cross_on(take_slots({.storf = 1}).F(0), X, result);
}
