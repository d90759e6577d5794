#include <algorithm>

#include "controls/block_slots.h"
#include "controls/switching/switching_blocks.h"
#include "controls/switching/timer_body.h"
#include "controls/zero_cross.h"
#include "engine/run_state.h"

using namespace timer_detail;

void IMPULSE_TRAIN_IP(int32_t area_flag, int32_t flag, double start, double height, double period,
                      INTERP_PAIR& result) {
    const BlockSlots s = take_slots({.storf = 2, .stori = 1});
    const double DELT = RUN_CLOCK.DELT, TIME = RUN_CLOCK.TIME;
    double& impulse = s.F(0);
    double& next = s.F(1);
    int32_t& count = s.I(0);
    if (first_step_data()) {
        count = 0;
        impulse = area_flag == 1 ? height / DELT : height;
        next = start;
    }
    result = {0.0, 0.0};
    if (next - kLateShare * DELT < TIME) {
        result.value = impulse;
        if (flag == 1) result.time = std::max(TIME - next, 0.0);
        ++count;
        next = start + count * period;
    }
}

void ON_DELAY_IP(int32_t flag, double delay, INTERP_PAIR input, INTERP_PAIR& output) {
    on_delay_ip(flag, delay, input, output);
}

void MONOSTABLE_IP(int32_t flag, double width, INTERP_PAIR input, INTERP_PAIR& output) {
    monostable_ip(flag, width, input, output);
}

void ON_OFF_DELAY_IP(int32_t initial_state, double on_delay, double off_delay, INTERP_PAIR input, INTERP_PAIR& output) {
    const BlockSlots s = take_slots({.storf = 2, .stori = 1});
    const double DELT = RUN_CLOCK.DELT;
    int32_t& state = s.I(0);
    double& remaining = s.F(0);
    double& started = s.F(1);
    if (first_step_data()) {
        if (initial_state == 0) state = 0;
        if (initial_state == 1) state = 2;
    }
    output = {0.0, 0.0};
    // One half of the cycle: from the resting state `from` (output `rest`)
    // through timing (`from` + 1) to the other resting state.
    const auto half = [&](int32_t from, double rest, double delay, bool change) {
        const int32_t to = (from + 2) % 4;
        if (state == from) {
            output.value = rest;
            if (!change) return;
            started = input.time;
            remaining = delay;
            if (input.time < delay) {
                state = from + 1;
            } else {
                output = {1.0 - rest, input.time - delay};
                state = to;
            }
        } else if (state == from + 1) {
            remaining -= DELT;
            output.value = rest;
            if (remaining < 0.0) {
                output = {1.0 - rest, started - remaining};
                state = to;
            }
        }
    };
    const bool on = nint(input.value) != 0;
    if (state == 0 || state == 1)
        half(0, 0.0, on_delay, on);
    else if (state == 2 || state == 3)
        half(2, 1.0, off_delay, !on);
}
