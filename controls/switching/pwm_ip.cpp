#include <algorithm>
#include <cmath>

#include "controls/block_slots.h"
#include "controls/switching/switching_blocks.h"
#include "controls/zero_cross.h"
#include "engine/run_state.h"

namespace {
// Shares of a step that keep a reported edge off the step's end and a
// pulse's end off a step boundary.
constexpr double kEdgeShare = 1e-5, kPulseShare = 1e-6;

// The crossing of carrier and reference, with the carrier's peaks; inline
// in the pulse blocks, which call it once or twice on every step.
[[gnu::always_inline]] inline void pwm_cross(double carrier, double reference, double cmax, double cmin,
                                             INTERP_PAIR& result) {
    const BlockSlots s = take_slots({.storf = 3});
    const double DELT = RUN_CLOCK.DELT;
    double& last_ref = s.F(0);
    double& last = s.F(1);
    double& before = s.F(2);
    ZERO_CROSS_F(carrier - reference, result);

    const double est = 2.0 * last - before;
    bool top = est > cmax, bottom = est < cmin;
    // An extrapolation that missed by almost a whole span is a sawtooth's
    // jump, not a peak.
    const double span = std::fabs(cmax - cmin);
    const bool jump = span - std::fabs(est - carrier) < 0.01 * span;
    if (top) {
        if (last > last_ref && jump) top = false;
    } else if (bottom) {
        if (last < last_ref && jump) bottom = false;
    }
    if (top || bottom) {
        const double bound = top ? cmax : cmin;
        const double tp = DELT + (last - bound) * DELT / (last - before);  // the peak, back from the end
        if (top ? carrier <= reference : carrier >= reference) {
            const double s_c = (bound - carrier) / tp;
            const double s_r = (last_ref - reference) / DELT;
            const double tau = (carrier - reference) / (s_r - s_c);
            // A crossing after the peak replaces the zero-crossing result;
            // without one that result stands, so a rise just before the
            // peak keeps its pulse. A reference outside the carrier's range
            // gives none. After a top peak the crossing is a rising one
            // only when the carrier went up through the reference too (up
            // and down within the step); from above, it is a plain fall.
            const double value = top && last >= last_ref ? -1.0 : 1.0;
            if (std::isfinite(tp) && std::isfinite(tau) && tau >= 0.0 && tau <= tp) result = {value, tau};
        }
    }
    last_ref = reference;
    before = last;
    last = carrier;
}

}  // namespace

void PWM_CROSS(double carrier, double reference, double cmax, double cmin, INTERP_PAIR& result) {
    pwm_cross(carrier, reference, cmax, cmin, result);
}

void PWM_PULSE_IP(int32_t enable, double width, double cmax, double cmin, double carrier, double reference,
                  INTERP_PAIR& result) {
    const BlockSlots s = take_slots({.storf = 2});
    const double DELT = RUN_CLOCK.DELT, TIME = RUN_CLOCK.TIME;
    double& out = s.F(0);
    double& end = s.F(1);
    INTERP_PAIR z;
    pwm_cross(carrier, reference, cmax, cmin, z);
    const bool rising = nint(z.value) == 1;
    double time = 0.0;
    if (enable != 0 && !first_step_data() && rising) {
        out = 1.0;
        end = TIME + width + kPulseShare * DELT;
        time = std::max(z.time, kEdgeShare * DELT);
    }
    if (end < TIME) out = 0.0;
    result = {out, time};
}

void PWM_COMPARE_IP(int32_t enable, double cmax, double cmin, double on_carrier, double on_reference,
                    double off_reference, double off_carrier, INTERP_PAIR& result) {
    const BlockSlots s = take_slots({.storf = 1});
    const double DELT = RUN_CLOCK.DELT;
    double& out = s.F(0);
    if (first_step_data() && on_reference < on_carrier) out = 1.0;
    INTERP_PAIR on_edge, off_edge;
    pwm_cross(on_carrier, on_reference, cmax, cmin, on_edge);
    // The off edge is a rising crossing of the negated signals.
    pwm_cross(-off_carrier, -off_reference, -cmin, -cmax, off_edge);
    double time = 0.0;
    if (enable == 0) {
        out = 0.0;
    } else if (nint(off_edge.value) == 1) {
        out = 0.0;
        time = std::max(off_edge.time, kEdgeShare * DELT);
    } else if (nint(on_edge.value) == 1) {
        out = 1.0;
        time = std::max(on_edge.time, kEdgeShare * DELT);
    }
    result = {out, time};
}
