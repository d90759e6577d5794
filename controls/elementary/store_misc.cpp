// Rate limiter, triggered pulse, phase shifter, sample-and-hold and the
// trapezoidal integrator and PI on STOR.
#include <algorithm>
#include <cmath>

#include "controls/elementary/block_support.h"
#include "controls/block_slots.h"
#include "controls/limit_value.h"
#include "controls/elementary/store_blocks.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "platform/logical.h"

double RATE_LIMIT(double rise, double fall, double X) {
    const BlockSlots s = take_slots({.stor = 3});
    double& up = s.S(0);
    double& down = s.S(1);
    double& last = s.S(2);
    if (first_step_data()) {
        // Magnitudes: a negative rate would drive the output away for good.
        up = std::fabs(rise) * RUN_CLOCK.DELT;
        down = std::fabs(fall) * RUN_CLOCK.DELT;
        last = X;
    }
    last = limit_rate(last, X, up, down);
    return last;
}

double TRIGGER_PULSE_STOR(double delay, double width, double A, double B, double low, double high) {
    const BlockSlots s = take_slots({.stor = 3});
    double& start = s.S(0);
    double& end = s.S(1);
    double& spent = s.S(2);
    const double t = RUN_CLOCK.TIME;
    // Once armed the tests run once more; the spent flag then settles them.
    for (;;) {
        if (t < start) return low;
        if (t < end) {
            end = start + width;
            return high;
        }
        if (B < A) {
            spent = 0.0;
            return low;
        }
        if (spent > 0.5) {
            end = start + width;
            return high;
        }
        start = t + delay;
        end = start + width;
        spent = 1.0;
    }
}

void PHASE_SHIFT_3PH(double a, double b, double c, double& a_out, double& b_out, double& c_out, double f) {
    const BlockSlots s = take_slots({.stor = 2});
    double& own = s.S(0);
    double& cross = s.S(1);
    if (first_step_data()) {
        const double w = 2.0 * M_PI * f * RUN_CLOCK.DELT;
        own = 1.0 - w * w;
        cross = 0.577350269189626 * w;
    }
    a_out = cross * (c - b) + own * a;
    b_out = cross * (a - c) + own * b;
    c_out = cross * (b - a) + own * c;
}

double SAMPLE_HOLD(double T, double X) {
    const BlockSlots s = take_slots({.stor = 2});
    double& since = s.S(0);
    double& held = s.S(1);
    if (first_step_data()) {
        since = 0.5 * RUN_CLOCK.DELT;
        held = X;
    } else {
        since += RUN_CLOCK.DELT;
    }
    if (T < since) {
        since = 0.5 * RUN_CLOCK.DELT;
        held = X;
    }
    return held;
}

double INTEGRATOR_TRAP(double initial, double lower, double upper, double T, double X) {
    const BlockSlots s = take_slots({.stor = 3});
    double& half_last = s.S(0);
    double& y_last = s.S(1);
    double& half_step = s.S(2);
    const double Tn = std::fabs(T) >= 1.0e-20 ? T : 1.0;
    if (first_step_data()) {
        half_step = 0.5 * RUN_CLOCK.DELT;
        half_last = half_step * X / Tn;
    }
    const double d = half_step * X / Tn;
    double y = first_step_data() ? initial : y_last + d + half_last;
    half_last = d;
    y = std::max(lower, std::min(y, upper));
    y_last = y;
    return y;
}

double PI_TRAP(double Kp, double T, double lower, double upper, double initial, double X) {
    if (first_step_data()) {
        const BlockSlots integrator = next_slots();
        for (int32_t k = 0; k < 3; ++k) integrator.S(k) = 0.0;
    }
    return LIMIT_VALUE(lower, upper, INTEGRATOR_TRAP(initial, lower, upper, T, X) + Kp * X);
}
