// Current sources: branches of zero conductance whose current the model
// writes into the branch history current CCBR in every step.
#pragma once

#include <cstdint>

// Makes branch br a current-injection branch (set-up call).
void ISRC_BRANCH(int32_t br, int32_t ss);
// Type 1 is a sinusoid (frequency in Hz, phase in degrees); any other type
// a constant. The magnitude ramps from 0 until the ramp time (s).
void ISRC_AC_INIT(int32_t type, double magnitude, double frequency, double phase, double ramp);
void ISRC_AC(int32_t br, int32_t ss);
// The current and the parallel conductance of an injection branch.
void ISRC_NORTON(int32_t br, int32_t ss, double conductance, double current);
