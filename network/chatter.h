// Chatter detection on the closing solution of a step, and the setter of
// a subsystem's interpolation and chatter-removal options. CHATTER_CHK is
// declared with the other routines the solution calls
// (network/solution_hooks.h). Its modes: 1 node voltages, 2 branch
// currents, 3 nothing; any other value works on the branch currents
// without reporting.
#pragma once

#include <cstdint>

#include "network/solution_hooks.h"

// Options of subsystem ss: each is on when its argument is 1.
void SSFLAGS_SET(int32_t ss, int32_t interpolate, int32_t remove_chatter);
