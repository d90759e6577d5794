// The PWM blocks' crossing with the carrier's peaks and the comparison
// block's body, inline for the DC-DC converter, which runs two comparisons
// on every step.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "controls/block_slots.h"
#include "controls/interp_pair.h"
#include "controls/zero_cross.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "platform/logical.h"

namespace pwm_detail {

// Shares of a step that keep a reported edge off the step's end and a
// pulse's end off a step boundary.
inline constexpr double kEdgeShare = 1e-5, kPulseShare = 1e-6;

// The crossing of carrier and reference, with the carrier's peaks, on the
// crossing's three slots F(0) to F(2) and the zero crossing's F(3).
template <class Slots>
[[gnu::always_inline]] inline void cross_on(const Slots& F, double carrier, double reference, double cmax,
                                            double cmin, INTERP_PAIR& result) {
    const double DELT = RUN_CLOCK.DELT;
    double& last_ref = F(0);
    double& last = F(1);
    double& before = F(2);
    zero_cross_on(F(3), carrier - reference, result);

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

// STORF slot k of the block at first, through the array's checks.
struct CheckedSlots {
    int32_t first;
    [[gnu::always_inline]] double& operator()(int32_t k) const { return STORAGE.STORF(first + k); }
};
// The same slot reached directly, the block being inside STORF.
struct DirectSlots {
    double* at;
    [[gnu::always_inline]] double& operator()(int32_t k) const { return at[k]; }
};
// Slot k of a block that starts at slot `from` of another.
template <class Slots>
struct LaterSlots {
    const Slots& in;
    int32_t from;
    [[gnu::always_inline]] double& operator()(int32_t k) const { return in(from + k); }
};

template <class Slots>
[[gnu::always_inline]] inline void compare_on(const Slots& F, int32_t enable, double cmax, double cmin,
                                              double on_carrier, double on_reference, double off_reference,
                                              double off_carrier, INTERP_PAIR& result) {
    const double DELT = RUN_CLOCK.DELT;
    double& out = F(0);
    if (first_step_data() && on_reference < on_carrier) out = 1.0;
    INTERP_PAIR on_edge, off_edge;
    cross_on(LaterSlots<Slots>{F, 1}, on_carrier, on_reference, cmax, cmin, on_edge);
    // The off edge is a rising crossing of the negated signals.
    cross_on(LaterSlots<Slots>{F, 5}, -off_carrier, -off_reference, -cmin, -cmax, off_edge);
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

// The first of the n STORF slots from the present pointer, taken; null
// unless all lie inside STORF.
template <int32_t n>
[[gnu::always_inline]] inline double* take_storf(int32_t& first) {
    first = take_slots({.storf = n}).storf;
    FArray1<double>& storf = STORAGE.STORF;
    return first >= 1 && int64_t{first} + n - 1 <= storf.size() ? storf.data() + (first - 1) : nullptr;
}

}  // namespace pwm_detail

// The crossing as PWM_CROSS gives it: its three slots, then the zero
// crossing's, reached directly where all four lie inside STORF.
[[gnu::always_inline]] inline void pwm_cross(double carrier, double reference, double cmax, double cmin,
                                             INTERP_PAIR& result) {
    using namespace pwm_detail;
    int32_t first;
    if (double* at = take_storf<4>(first))
        return cross_on(DirectSlots{at}, carrier, reference, cmax, cmin, result);
    cross_on(CheckedSlots{first}, carrier, reference, cmax, cmin, result);
}

// PWM_COMPARE_IP's body: the output's slot, then the on and the off
// crossings' four each.
[[gnu::always_inline]] inline void pwm_compare_ip(int32_t enable, double cmax, double cmin, double on_carrier,
                                                  double on_reference, double off_reference, double off_carrier,
                                                  INTERP_PAIR& result) {
    using namespace pwm_detail;
    int32_t first;
    if (double* at = take_storf<9>(first))
        return compare_on(DirectSlots{at}, enable, cmax, cmin, on_carrier, on_reference, off_reference, off_carrier,
                          result);
    compare_on(CheckedSlots{first}, enable, cmax, cmin, on_carrier, on_reference, off_reference, off_carrier, result);
}
