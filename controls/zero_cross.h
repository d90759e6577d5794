// Sign changes of a signal between two steps, with the interpolated instant
// of the crossing inside the step.
#pragma once

#include "controls/interp_pair.h"

// value +1 rising through 0, -1 falling through 0, else 0; time measured
// back from the step's end. One slot in STOR.
void ZERO_CROSS(double X, INTERP_PAIR& result);
// The same with its slot in STORF.
void ZERO_CROSS_F(double X, INTERP_PAIR& result);
