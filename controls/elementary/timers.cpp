// Timers, the integrating pick-up/drop-out relay, the sampled transport
// delay, the clamped lag and the harmonic distortion figure.
#include <algorithm>
#include <cmath>

#include "controls/elementary/block_support.h"
#include "controls/elementary/logic_blocks.h"
#include "controls/block_slots.h"
#include "controls/limit_value.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "platform/logical.h"

int32_t ON_DELAY_TIMER(int32_t IN, double T) {
    double& remaining = take_slots({.stor = 1}).S(0);
    if (first_step_data()) remaining = T;
    if (IN < 1) {
        remaining = T;
        return 0;
    }
    remaining -= RUN_CLOCK.DELT;
    return time_left_due(remaining) ? 1 : 0;
}

double DELAY_SAMPLED(double T, int32_t N, double X) {
    if (N < 1) block_data_error("DELAY_SAMPLED", "The number of samples of the delay must be at least 1.");
    check_ring_room(N, STORAGE.STOR.size(), "DELAY_SAMPLED");
    const BlockSlots s = take_slots({.stor = N + 2});
    double& next = s.S(0);
    // Samples in slots 1 (newest) to N + 1 (oldest).
    if (first_step_data()) {
        next = T / N;
        for (int32_t k = 1; k <= N + 1; ++k) s.S(k) = X;
    }
    const double y = s.S(N + 1);
    if (time_due(next)) {
        next = RUN_CLOCK.TIME + T / N;
        for (int32_t k = N + 1; k > 1; --k) s.S(k) = s.S(k - 1);
        s.S(1) = X;
    }
    return y;
}

double LAG_CLAMPED(double X, double T, double lower, double upper) {
    const BlockSlots s = take_slots({.stor = 2});
    double& y_last = s.S(0);
    double& x_last = s.S(1);
    const double half = 0.5 * RUN_CLOCK.DELT;
    double y = ((T - half) * y_last + half * (x_last + X)) / (T + half);
    y = std::max(lower, std::min(upper, y));
    y_last = y;
    x_last = X;
    return y;
}

namespace {

// One half of the dual timer: in the even state it waits, giving idle_out,
// for its trigger; in the odd state after it, it times T and then hands
// over to next_state with the other output.
void timer_half(int32_t& state, double& remaining, int32_t trigger, double T, int32_t idle_out, int32_t next_state,
                int32_t& OUT) {
    const double dt = RUN_CLOCK.DELT;
    OUT = idle_out;
    if (state % 2 == 0) {
        if (trigger > 0) {
            remaining = T;
            state += 1;
        }
        return;
    }
    remaining -= dt;
    if (remaining >= 0.5 * dt) return;
    OUT = 1 - idle_out;
    state = next_state;
}

}  // namespace

void DUAL_TIMER(int32_t ON, int32_t OFF, double T1, double T2, int32_t INIT, int32_t& OUT) {
    const BlockSlots s = take_slots({.storf = 1, .stori = 1});
    int32_t& state = s.I(0);
    double& remaining = s.F(0);
    if (first_step_data()) {
        if (INIT == 0) state = 0;
        else if (INIT == 1) state = 2;
    }
    // States: 0 off, 1 timing the on-delay, 2 on, 3 timing the off-delay.
    if (state == 0 || state == 1) timer_half(state, remaining, ON, T1, 0, 2, OUT);
    else if (state == 2 || state == 3) timer_half(state, remaining, OFF, T2, 1, 0, OUT);
}

int32_t PICKUP_DROPOUT(int32_t A, int32_t B, double T1, double T2, int32_t INIT) {
    const BlockSlots s = take_slots({.stor = 3});
    double& up = s.S(0);
    double& down = s.S(1);
    double& level = s.S(2);
    if (first_step_data()) {
        if (!(T1 > 0.0 && T2 > 0.0))
            block_data_error("PICKUP_DROPOUT", "The pick-up and drop-out times must be greater than zero.");
        up = 16.0 / T1;
        down = 16.0 / T2;
        level = INIT < 1 ? -8.0 : 11.0;
    }
    level = LIMIT_VALUE(-8.0, 11.0, level + (A * up - B * down) * RUN_CLOCK.DELT);
    // A level a rounding short of 8 has picked up.
    return level >= 8.0 - 1.0e-9 ? 1 : 0;
}

double THD_CALC(int32_t N, int32_t FLAG, const double* H, double* OUT) {
    if (N < 1 || std::fabs(H[0]) < 1.0e-20) return 0.0;
    OUT[0] = 1.0;
    double sum = 0.0;
    for (int32_t i = 1; i < N; ++i) {
        OUT[i] = H[i] / H[0];
        sum += OUT[i] * OUT[i];
    }
    double thd = std::sqrt(sum);
    if (FLAG > 0) {
        thd *= 100.0;
        for (int32_t i = 0; i < N; ++i) OUT[i] *= 100.0;
    }
    return thd;
}
