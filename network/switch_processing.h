// The state changes of the switched branches that are due when a pass of
// the network solution has reached a switching instant: plain and
// power-electronic switches, arrester segments and inductance segments,
// each held to its limit of switchings within one step.
#pragma once

#include <cstdint>

// Operates the switches of subsystem ss due at or before span (the length
// of the pass just ended, as a fraction of the step).
void SWITCHBR(int32_t ss, double span);

// The alternation count of an arrester or a segmented inductance: its
// magnitude grows with every reversal and falls back to 0 on a repeat.
void count_alternation(int32_t& count, bool up);

// The switching instants one step of subsystem ss may take before the run
// is stopped as one that does not settle.
int64_t switching_instant_limit(int32_t ss);
