#include <algorithm>
#include <cstdint>

#include "controls/block_slots.h"
#include "controls/elementary/block_support.h"
#include "controls/sync/park_body.h"
#include "controls/sync/sync_blocks.h"
#include "controls/zero_cross.h"
#include "engine/run_state.h"
#include "platform/logical.h"

void ABC_DQ0(double& A, double& B, double& C, double& D, double& Q, double& Z, double TH, int32_t DIR) {
    abc_dq0(A, B, C, D, Q, Z, TH, DIR);
}

double TABLE_INTERP(int32_t N, const double* XT, const double* YT, double X) {
    if (N < 1) block_data_error("TABLE_INTERP", "Table needs at least one point");
    if (N == 1) return YT[0];
    const auto on_segment = [&](int32_t i) {  // segment i-1 .. i, 1-based
        const double x0 = XT[i - 2], x1 = XT[i - 1], y0 = YT[i - 2], y1 = YT[i - 1];
        return x1 - x0 >= 1e-20 ? y0 + (X - x0) * (y1 - y0) / (x1 - x0) : y0;
    };
    for (int32_t i = 2; i <= N; ++i)
        if (X <= XT[i - 1]) return on_segment(i);
    // Above the table: along the last segment, or its last value when that
    // segment has no width.
    return XT[N - 1] - XT[N - 2] >= 1e-20 ? on_segment(N) : YT[N - 1];
}

int32_t PULSE_TIMER(int32_t TRIG, double DUR) {
    const BlockSlots s = take_slots({.stor = 2});
    const double TIME = RUN_CLOCK.TIME;
    int32_t out = nint(s.S(0));
    double end = s.S(1);
    if (TRIG > 0) {
        end = TIME + DUR;
        out = 1;
    }
    if (end <= TIME) out = 0;
    s.S(0) = out;
    s.S(1) = end;
    return out;
}

int32_t ZC_PULSE(int32_t IN, double DUR) {
    INTERP_PAIR crossing;
    ZERO_CROSS(IN - 0.5, crossing);
    return PULSE_TIMER(std::max(0, nint(crossing.value)), DUR);
}

void ZC_SIX_CHANNEL(const double* X, const double* G, double REF, double S, double& OUT_SUM, double& OUT_MEAN,
                    double& OUT_MIN) {
    const BlockSlots s = take_slots({.storf = 6, .stori = 6});
    double w[6];
    int32_t z[6], e[6];
    for (int i = 0; i < 6; ++i) {
        w[i] = G[i] * 360.0 * S;
        INTERP_PAIR crossing;
        ZERO_CROSS(X[i] - REF, crossing);
        z[i] = nint(crossing.value);
    }
    take_slots({.stor = 6});
    // A rising crossing gives its event on the following step.
    for (int i = 0; i < 6; ++i) {
        int32_t& latch = s.I(i);
        e[i] = latch == 1 ? 1 : 0;
        if (z[i] == 1 && latch == 0) latch = 1;
        else if (z[i] != 1 && latch == 1) latch = 0;
    }
    const int32_t events = e[0] + e[1] + e[2] + e[3] + e[4] + e[5];
    if (!first_step_data()) {
        for (int i = 0; i < 6; ++i) {
            const bool others = events - e[i] > 0;
            if (e[i] == 1 && !others) s.F(i) = 1.0;
            if (e[i] == 0 && others) s.F(i) = 0.0;
        }
    }
    double sum = 0.0, weights = 0.0, least = w[0];
    for (int i = 0; i < 6; ++i) {
        sum += s.F(i) * w[i];
        weights += w[i];
        least = std::min(least, w[i]);
    }
    OUT_SUM = sum;
    OUT_MEAN = 0.333333333333333 * 0.5 * weights;
    OUT_MIN = least;
}
