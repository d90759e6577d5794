// Chatter detection on the closing solution of a step, and the setter of
// a subsystem's interpolation and chatter-removal options. CHATTER_CHK is
// declared with the other routines the solution calls
// (network/solution_hooks.h). Its modes: 1 node voltages, 2 branch
// currents, 3 nothing; any other value works on the branch currents
// without reporting.
#pragma once

#include <cmath>
#include <cstdint>

#include "network/solution_hooks.h"

// Reversals in a row that are chatter.
constexpr int32_t CHATTER_REVERSALS = 6;

// A chatter counter after one more change from x to y: its sign is the
// direction, its magnitude the reversals in a row by more than level.
inline int32_t CHATTER_NEXT(int32_t c, double x, double y, double level) {
    const double mid = 0.5 * (x + y);
    const bool big = std::fabs(y - mid) > level;
    const bool up = mid <= y;
    const int32_t s = up ? 1 : -1;
    const bool reversal = big && (up ? c < 0 : c >= 0);
    return reversal ? s - c : s;
}

inline bool CHATTER_AT(int32_t c) { return c >= CHATTER_REVERSALS || c <= -CHATTER_REVERSALS; }

// After a pass moved the node (nodes) or branch counters of subsystem ss
// and some reached chatter: the first of them marks the subsystem, it and
// every counter after it start again from 0, and it is reported once.
void CHATTER_FOUND(int32_t ss, bool nodes, bool printing);
// Whether chatter found in a pass of the given mode is reported.
bool CHATTER_PRINTING(int32_t mode);

// Options of subsystem ss: each is on when its argument is 1.
void SSFLAGS_SET(int32_t ss, int32_t interpolate, int32_t remove_chatter);
