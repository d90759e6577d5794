// The per-step work that both compensator forms share: stage command,
// firing, valves, capacitor stages and the integration of the internal
// circuit over the step's sub-steps, on the compensator's block of slots.
#pragma once

#include <cstdint>

#include "engine/storage.h"

// Where a form keeps its state: the per-step routine's block layout, in
// which the data-file form moves every offset from 56 on by a shift to
// make room for its own constants.
struct SvcBlock {
    int32_t b = 0;      // slot k of the block is STOR(b + k)
    int32_t shift = 0;  // added to offsets of 56 and above
    double& operator()(int32_t k) const { return STORAGE.STOR(b + k + (k >= 56 ? shift : 0)); }
    // Slot k of the block as it stands, unshifted.
    double& raw(int32_t k) const { return STORAGE.STOR(b + k); }
};

// The stage and firing arguments of one call.
struct SvcCommand {
    double alpha = 0.0;
    int32_t* command = nullptr;    // in/out
    int32_t enable = 0;
    int32_t* switching = nullptr;  // out
    int32_t* stages = nullptr;     // out
    int32_t mode = 0;
    int32_t NC0 = 0;  // stages in service at the start
};

// Runs the step on the block with SVC_WORK.c and SVC_WORK.v set; NEXC
// stands at blk.b throughout.
void svc_substeps(const SvcBlock& blk, SvcCommand& cmd);

// The three phases' saturation currents at SVC_WORK.v; each call takes two
// slots at NEXC.
void svc_saturation(double (&isat)[3]);
