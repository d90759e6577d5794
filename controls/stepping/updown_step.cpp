#include "controls/block_slots.h"
#include "controls/stepping/stepping_blocks.h"
#include "controls/sync/sync_blocks.h"

namespace {

// The step of one call; the lock-out state is set from a pulse that the
// step's trigger starts.
int32_t updown(int32_t A, int32_t B, int32_t C, int32_t D, double DUR) {
    const BlockSlots s = take_slots({.stori = 1});
    int32_t& locked = s.I(0);
    int32_t r = 0;
    if (locked == 0) {
        if (A > 0 && D < C) r = 1;
        if (B > 0 && D > 0) r = -1;
    }
    locked = ZC_PULSE(r != 0 ? 1 : 0, DUR);
    return r;
}

}  // namespace

int32_t UPDOWN_STEP(const int32_t& A, const int32_t& B, const int32_t& C, const int32_t& D, const double& DUR) {
    return updown(A, B, C, D, DUR);
}

void UPDOWN_STEP_SETUP(const int32_t& C) { take_slots({.rtci = 1}).RI(0) = C; }

void UPDOWN_STEP_RTC(const int32_t& A, const int32_t& B, const int32_t& D, int32_t& OUT, const double& DUR) {
    OUT = 0;
    const int32_t C = take_slots({.rtci = 1}).RI(0);
    OUT = updown(A, B, C, D, DUR);
}
