// COMPARATOR_IP's body, inline for the modules that compare a time or an
// order with a level on every step.
#pragma once

#include <cstdint>

#include "controls/block_slots.h"
#include "controls/interp_pair.h"
#include "controls/zero_cross.h"
#include "platform/logical.h"

[[gnu::always_inline]] inline void comparator_ip(int32_t flag, int32_t mode, double A, double B, double high,
                                                 double idle, double low, INTERP_PAIR& result) {
    INTERP_PAIR z;
    zero_cross_f(A - B, z);
    const bool found = crossed(z);
    double out;
    if (mode == 1)
        out = found ? (z.value > 0.0 ? high : low) : idle;
    else
        out = A > B ? high : low;
    result.time = found && flag == 1 ? z.time : 0.0;
    result.value = out;
}
