#include "controls/block_slots.h"
#include "controls/switching/comparator_body.h"
#include "controls/switching/switching_blocks.h"
#include "controls/zero_cross.h"
#include "engine/run_state.h"

void COMPARATOR_IP(int32_t flag, int32_t mode, double A, double B, double high, double idle, double low,
                   INTERP_PAIR& result) {
    comparator_ip(flag, mode, A, B, high, idle, low, result);
}

void HYSTERESIS_IP(int32_t low_state, int32_t flag, double X, double upper, double lower, INTERP_PAIR& result) {
    const BlockSlots s = take_slots({.stori = 1});
    if (first_step_data()) s.I(0) = low_state;
    const double H = upper > lower ? upper : lower;
    INTERP_PAIR z_upper, z_lower;
    zero_cross_f(X - H, z_upper);
    zero_cross_f(X - lower, z_lower);
    const int32_t high_state = 1 - low_state;
    const INTERP_PAIR* decider = nullptr;
    if (lower >= H) {
        s.I(0) = X >= H ? high_state : low_state;
        decider = &z_upper;
    } else if (X >= upper) {
        s.I(0) = high_state;
        decider = &z_upper;
    } else if (X <= lower) {
        s.I(0) = low_state;
        decider = &z_lower;
    }
    result.time = flag == 1 && decider && crossed(*decider) ? decider->time : 0.0;
    result.value = static_cast<double>(s.I(0));
}
