// The body of INTEGRATOR_IP, inline for the PI regulators that call it on
// every step.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "controls/block_slots.h"
#include "controls/interp_pair.h"
#include "engine/run_state.h"
#include "platform/logical.h"

namespace integrator_detail {

// A time constant this small divides as 1.
inline double usable(double T) { return std::fabs(T) >= 1e-20 ? T : 1.0; }

// The integral over the last r seconds of the step, from `old` to X.
inline double rest_of_step(int32_t flag, double r, double old, const INTERP_PAIR& X, double T) {
    const double DELT = RUN_CLOCK.DELT;
    r = std::clamp(r, 0.0, DELT);
    if (flag == 1) {
        const double fresh = std::min(X.time, r);
        return ((r - fresh) * old + fresh * X.value) / T;
    }
    const double at_reset = X.value - r * (X.value - old) / DELT;
    return 0.5 * r * (X.value + at_reset) / T;
}

}  // namespace integrator_detail

[[gnu::always_inline]] inline double integrator_ip(int32_t flag, int32_t reset_mode, int32_t reset_enable,
                                                  double initial, double T, double reset_value, double lower,
                                                  double upper, INTERP_PAIR reset, INTERP_PAIR X) {
    using namespace integrator_detail;
    const BlockSlots s = take_slots({.storf = 3});
    const double DELT = RUN_CLOCK.DELT;
    double& old = s.F(0);
    double& last = s.F(1);
    double& old_T = s.F(2);
    const double Tu = usable(T);
    const bool first = first_step_data();
    if (first) {
        old = X.value;
        old_T = Tu;
    }
    const double a = flag == 1 ? X.time : 0.5 * DELT;         // the new value's share
    const double b = flag == 1 ? DELT - X.time : 0.5 * DELT;  // the old value's share
    double y = first ? initial : b * old / old_T + last + a * X.value / Tu;
    if (reset_enable == 1 && nint(reset.value) != 0)
        y = reset_mode == 1 ? reset_value + rest_of_step(flag, reset.time, old, X, Tu) : reset_value;
    y = std::max(lower, std::min(y, upper));
    old = X.value;
    last = y;
    old_T = Tu;
    return y;
}
