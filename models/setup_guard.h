// Set-up calls that change a subsystem's conductance array in place are
// allowed only until the first network solution of a run has turned the
// array's diagonals into row sums (SSINIT): after that a change would
// reach no triangularisation.
#pragma once

#include "platform/fixed_text.h"

struct SetupGuard {
    bool diagonals_summed = false;  // SSINIT has run in this run
};

extern SetupGuard SETUP_GUARD;

// Stops the run under the caller's name once SSINIT has run.
void CHK_SETUP_PHASE(const Text12& caller);
