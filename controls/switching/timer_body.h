// The on-delay and monostable timers' bodies, inline for the main module,
// which runs both on every step.
#pragma once

#include <algorithm>
#include <cstdint>

#include "controls/block_slots.h"
#include "controls/interp_pair.h"
#include "controls/zero_cross.h"
#include "engine/run_state.h"
#include "platform/logical.h"

namespace timer_detail {
inline constexpr double kNoPulseEnd = 1.0e6;
// An instant this close after the step's end counts as inside the step.
inline constexpr double kLateShare = 1e-4;
}  // namespace timer_detail

[[gnu::always_inline]] inline void on_delay_ip(int32_t flag, double delay, INTERP_PAIR input, INTERP_PAIR& output) {
    const BlockSlots s = take_slots({.storf = 1, .stori = 1});
    const double TIME = RUN_CLOCK.TIME;
    int32_t& state = s.I(0);
    double& end = s.F(0);
    output = {0.0, 0.0};
    double t = 0.0;
    const int32_t n = nint(input.value);
    if (state == 0 && n != 0) {
        end = TIME + delay - (flag == 1 ? input.time : 0.0);
        state = 1;
    }
    if (state == 1) {
        if (n == 0) {
            state = 0;
        } else if (end <= TIME) {
            output.value = input.value;
            t = TIME - end;
            state = 2;
        }
    } else if (state == 2) {
        output.value = input.value;
        if (n == 0) {
            t = input.time;
            state = 0;
        }
    }
    if (flag == 1) output.time = t;
}

[[gnu::always_inline]] inline void monostable_ip(int32_t flag, double width, INTERP_PAIR input, INTERP_PAIR& output) {
    using namespace timer_detail;
    const BlockSlots s = take_slots({.storf = 3});
    const double DELT = RUN_CLOCK.DELT, TIME = RUN_CLOCK.TIME;
    double& last = s.F(0);
    double& end = s.F(1);
    if (first_step_data()) end = kNoPulseEnd;
    const double w = width > 0.0 ? width : 0.0;
    INTERP_PAIR z;
    zero_cross_f(input.value - 0.5, z);
    const bool rising = z.value > 0.0;
    if (flag == 1) {
        if (rising) {
            output = {1.0, input.time};
            end = TIME - input.time + w;
        } else {
            output = {last, 0.0};
        }
        if (end - kLateShare * DELT < TIME) {
            output = {0.0, std::max(TIME - end, 0.0)};
            end = kNoPulseEnd;
        }
    } else {
        output.time = 0.0;
        output.value = last;
        if (rising) {
            output.value = 1.0;
            end = TIME + w;
        }
        if (end - kLateShare * DELT < TIME) output.value = 0.0;
    }
    last = output.value;
}
