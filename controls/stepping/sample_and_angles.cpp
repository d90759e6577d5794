#include <algorithm>
#include <cmath>

#include "controls/block_slots.h"
#include "controls/stepping/stepping_blocks.h"
#include "controls/zero_cross.h"
#include "engine/run_state.h"

void SIX_PHASE_ANGLES(const int32_t& MODE, double* A) {
    double step = 1.047197551196598, turn = 6.283185307179586;
    if (MODE != 0) {
        A[0] *= 57.29577951308232;
        step = 60.0;
        turn = 360.0;
    }
    for (int32_t i = 1; i < 6; ++i) {
        A[i] = A[i - 1] - step;
        if (A[i] < 0.0) A[i] += turn;
    }
}

double SAMPLE_HOLD_INTERP(const double& X, const double& F, const int32_t& TRIG, const double& T, const int32_t& MODE) {
    const BlockSlots s = take_slots({.stor = 5});
    double& last_sample = s.S(0);
    double& last_input = s.S(1);
    double& held = s.S(2);
    double& period = s.S(3);
    double& period_F = s.S(4);
    const double h = RUN_CLOCK.DELT;
    const bool first = first_step_data();
    if (first) last_input = held = X;
    if (MODE == 0) {
        const bool new_period = std::fabs(F - period_F) > 1.0e-6 || first;
        if (new_period) {
            period = F < 1.0e-10 ? 1.0e10 : std::max(1.0 / F, h);
            period_F = F;
        }
        const double next = last_sample + period;
        if (RUN_CLOCK.TIME - next > -1.0e-6 * h) {
            held = new_period ? X : X + (last_input - X) * std::max((RUN_CLOCK.TIME - next) / h, 0.0);
            last_sample = next;
        }
    } else if (TRIG >= 1) {
        held = T >= 0.0 && T < h ? X + (T / h) * (last_input - X) : X;
    }
    last_input = X;
    return held;
}

void PHASE_DIFF_CROSSINGS(const double& X1, const double& X2, double& OUT, const int32_t& ARM, const double& F,
                          int32_t& NEW) {
    NEW = 0;
    const BlockSlots s = take_slots({.storf = 2, .stori = 4});
    // STORF: the start instant, the last phase; STORI: running, started on
    // X1, started on X2, armed.
    double t0 = 0.0;
    int32_t flag[4] = {0, 0, 0, 0};
    if (first_step_data()) {
        OUT = 0.0;
    } else {
        t0 = s.F(0);
        OUT = s.F(1);
        for (int32_t k = 0; k < 4; ++k) flag[k] = s.I(k);
    }
    int32_t& running = flag[0];
    int32_t& on_x1 = flag[1];
    int32_t& on_x2 = flag[2];
    int32_t& armed = flag[3];
    INTERP_PAIR c1, c2;
    ZERO_CROSS(X1, c1);
    ZERO_CROSS(X2, c2);
    const bool fall1 = c1.value == -1.0, rise2 = c2.value == 1.0;
    if (ARM >= 1) armed = 1;
    if (armed != 0) {
        const double TIME = RUN_CLOCK.TIME;
        const bool started = running != 0;
        if (!started && fall1 && !rise2) {
            t0 = TIME;
            running = on_x1 = 1;
        } else if (!started && rise2 && !fall1) {
            t0 = TIME;
            running = on_x2 = 1;
        }
        if (started && on_x1 != 0 && rise2) {
            OUT = (TIME - t0) * F * 360.0;
            NEW = 1;
            running = on_x1 = armed = 0;
        } else if (started && on_x2 != 0 && fall1) {
            OUT = -(TIME - t0) * F * 360.0;
            NEW = 1;
            running = on_x2 = armed = 0;
        }
    }
    s.F(0) = t0;
    s.F(1) = OUT;
    for (int32_t k = 0; k < 4; ++k) s.I(k) = flag[k];
}
