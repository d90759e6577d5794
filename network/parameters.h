// The "PARAMETERS:" section: run clock settings, title and options. The run
// clock itself (DELT, PRINT_STEP, FINTIM, TIME) is RUN_CLOCK
// (engine/run_state.h); the per-subsystem options are tables of NET.
#pragma once

#include <cstdint>

#include "platform/fixed_text.h"
#include "platform/logical.h"

struct Parameters {
    Text72 title;
    Logical PRINT_DIMENSIONS = LFALSE;
    Logical PRINT_PARAMETERS = LFALSE;
    Logical USE_SUBSYSDIM = LFALSE;
    double SCREEN_PMAX = 2.0;
    double SCREEN_PMIN = -2.0;
    int32_t SNAP_IIISNP = 0;  // step count of the snapshot a run starts from
};

extern Parameters PARAMS;

void RDPARM();
void WRITEPARM(int32_t unit);
// A print step as a whole number of time steps DELT, at least one; a count
// that no step number holds leaves it as given, to be refused as the run
// starts.
double WHOLE_PRINT_STEP(double given, double delt);
