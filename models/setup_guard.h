// Models that add conductances straight into a subsystem's node
// conductances may do so only until the first network solution of a run
// started from data has turned their diagonal into the node sums.
#pragma once

#include "platform/fixed_text.h"
#include "platform/logical.h"

struct SetupPhase {
    Logical SUMMED = LFALSE;  // SSINIT has run in this run
};

extern SetupPhase SETUP_PHASE;

// Returns while the node conductances still take changes; otherwise stops
// the run under the caller's name.
void CHK_SETUP_PHASE(const Text12& caller);
