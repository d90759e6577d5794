#include <algorithm>
#include <cmath>

#include "controls/block_slots.h"
#include "controls/window/window_blocks.h"
#include "engine/model_helpers.h"
#include "engine/run_state.h"
#include "network/network_tables.h"

namespace {

double sign_of(double x) { return x < 0.0 ? -1.0 : 1.0; }

// Slots: 0 last input, 1 time of the last accepted crossing, 2 reference
// sign, 3-4 correlation and reference energy carried over crossings, 5-6
// the same since the last crossing, 7 the estimate, 8 the smoothed output,
// 9 the input after its lag.
double sync_rms(double X, double T_OUT, double F, double T_IN) {
    const BlockSlots s = take_slots({.stor = 10});
    const double TIME = RUN_CLOCK.TIME, DELT = RUN_CLOCK.DELT;
    const double P = 1.0 / F, w = 6.283185307179586 * F;
    if (first_step_data()) {
        for (int k = 0; k < 10; ++k) s.S(k) = 0.0;
        s.S(2) = 1.0;
    }
    const double x1 = s.S(9) + (X - s.S(9)) * DELT / std::max(DELT, T_IN);
    // A crossing within 5/12 of a period of the last one is noise.
    if (sign_of(x1) != sign_of(s.S(9)) && s.S(1) + 0.4166666666666667 * P < TIME) {
        s.S(1) = TIME;
        s.S(2) = -s.S(2);
        s.S(3) = s.S(5);
        s.S(4) = s.S(6);
        s.S(5) = 0.0;
        s.S(6) = 0.0;
    }
    const double ref = s.S(2) * std::sin(w * (TIME - s.S(1)));
    s.S(3) = 0.995 * (X * ref + s.S(3));
    s.S(4) = 0.995 * (s.S(4) + ref * ref);
    s.S(5) = 0.995 * (X * ref + s.S(5));
    s.S(6) = 0.995 * (ref * ref + s.S(6));
    if (s.S(4) >= 0.001) s.S(7) = 0.707106781186548 * s.S(3) / s.S(4);
    s.S(8) += (s.S(7) - s.S(8)) * DELT / std::max(DELT, T_OUT);
    if (TIME < 0.08333333333333333 * P) s.S(8) = 0.0;
    s.S(0) = X;
    s.S(9) = x1;
    return std::fabs(s.S(8));
}

}  // namespace

double RMS_SYNC(double X, double T_OUT, double F, double T_IN) { return sync_rms(X, T_OUT, F, T_IN); }

double CRMS11(int32_t SS, int32_t BR, double T_OUT, double F, double T_IN) {
    if (first_step_data()) CHKBRANCH("CRMS11", BR, SS);
    const double X = NET.CBR(BR, SS);
    const double y = sync_rms(X, T_OUT, F, T_IN);
    take_slots({.stor = 1}).S(0) = X;
    return y;
}

double CRMS_NODES(int32_t SS, int32_t N1, int32_t N2, double T_OUT, double F, double T_IN) {
    return sync_rms(CDC(N1, N2, SS), T_OUT, F, T_IN);
}

double RMS_SYNC_V(int32_t SS, int32_t N1, int32_t N2, double T_OUT, double F, double T_IN) {
    return sync_rms(NODEVDIFF(SS, N1, N2), T_OUT, F, T_IN);
}
