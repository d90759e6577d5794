#include "controls/zero_cross.h"

#include "controls/block_slots.h"
#include "engine/run_state.h"

void ZERO_CROSS(double X, INTERP_PAIR& result) {
    const BlockSlots s = take_slots({.stor = 1});
    zero_cross_on(s.S(0), X, result);
}

void ZERO_CROSS_F(double X, INTERP_PAIR& result) { zero_cross_f(X, result); }
