// The search for switching instants (INTERPOL, declared with the other
// passes), and the instant within a pass at which a pending switched branch
// changes state, by its state code: a current or voltage crossing its
// threshold, a switching time, or the next segment of an arrester or a
// segmented inductance.
#pragma once

#include <cstdint>

// Instant of pending switch br of subsystem ss as a fraction of the pass's
// span, 1.5 when it does not switch in it. Writes the direction an arrester
// (EON) or a segmented inductance (its record) is to step in.
double SWITCH_INSTANT(int32_t ss, int32_t br, double reached, bool opening, bool resolving);
