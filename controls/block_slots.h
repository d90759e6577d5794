// How a control block finds its memory: it takes its slots in the shared
// stores at the present pointers and moves every pointer on by its fixed
// counts before doing anything else, so that no path through the block can
// change the totals that the engine compares from step to step.
#pragma once

#include <cstdint>

#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "platform/logical.h"

// A block's fixed slot counts per store.
struct SlotCounts {
    int32_t stor = 0, storf = 0, stori = 0, storl = 0;
    int32_t rtcf = 0, rtci = 0, rtcl = 0;
};

// The first slot of each store that a call was given; slot k (0-based,
// as the slot tables count) of each store is reached through its accessor.
// Indices past a store's end go through the arrays' overrun handling.
struct BlockSlots {
    int32_t stor = 1, storf = 1, stori = 1, storl = 1;
    int32_t rtcf = 1, rtci = 1, rtcl = 1;

    double& S(int32_t k) const { return STORAGE.STOR(stor + k); }
    double& F(int32_t k) const { return STORAGE.STORF(storf + k); }
    int32_t& I(int32_t k) const { return STORAGE.STORI(stori + k); }
    Logical& L(int32_t k) const { return STORAGE.STORL(storl + k); }
    double& RF(int32_t k) const { return STORAGE.RTCF(rtcf + k); }
    int32_t& RI(int32_t k) const { return STORAGE.RTCI(rtci + k); }
    Logical& RL(int32_t k) const { return STORAGE.RTCL(rtcl + k); }
};

// The slots the next call would be given, without taking them.
[[gnu::always_inline]] inline BlockSlots next_slots() {
    const PointerBlock& p = POINTER_BLOCK;
    return {p.NEXC + 1, p.NSTORF, p.NSTORI, p.NSTORL, p.NRTCF, p.NRTCI, p.NRTCL};
}

// Hands out the slots at the present pointers and advances each pointer by
// its count. A block calls it once, on entry; blocks it calls inside take
// theirs after it, in the order it calls them.
[[gnu::always_inline]] inline BlockSlots take_slots(const SlotCounts& n) {
    const BlockSlots s = next_slots();
    PointerBlock& p = POINTER_BLOCK;
    p.NEXC += n.stor;
    p.NSTORF += n.storf;
    p.NSTORI += n.stori;
    p.NSTORL += n.storl;
    p.NRTCF += n.rtcf;
    p.NRTCI += n.rtci;
    p.NRTCL += n.rtcl;
    return s;
}

// The run state that blocks read.
inline bool first_step_data() { return is_true(RUN_FLAGS.FIRST_STEP_DATA); }
