// The history step of one branch with an inductor or a capacitor: its
// inductor and capacitor history currents for the next span from its
// current and part voltages, and its branch history current h, which
// enters the node injections CHIST.
#pragma once

#include <cstdint>

#include "network/branch_plan.h"
#include "network/network_tables.h"
#include "network/solution_columns.h"
#include "network/subsystem_columns.h"

// The columns, each with element b at index b.
struct HistoryColumns {
    const double* cbr;
    double *ccl, *ccld, *ccc, *cccd, *ccbr, *ccbrd;
    const double *g2l, *g2c, *rlg, *rcg, *v12, *v20;
};

inline HistoryColumns history_columns(int32_t ss) {
    const SubsystemColumns& c = subsystem_columns(ss);
    const auto at = [](const auto& col) { return col.p - 1; };
    return {at(c.cbr), at(c.ccl), at(c.ccld), at(c.ccc), at(c.cccd), at(c.ccbr), at(c.ccbrd),
            at(c.g2l), at(c.g2c), at(c.rlg), at(c.rcg), at(c.v12l), at(c.v20l)};
}

// Kinds holds the L and C bits the branch may have; with both, its own
// kind byte tells.
template <uint8_t Kinds>
inline __attribute__((always_inline)) double branch_history(const HistoryColumns& c, int32_t b, uint8_t own) {
    const uint8_t kind = Kinds == (BK_INDUCTOR | BK_CAPACITOR) ? own : Kinds;
    const double i = c.cbr[b];
    double h = 0.0;
    if (kind & BK_INDUCTOR) {
        const double l = c.g2l[b] * c.v12[b] + i;
        c.ccld[b] = c.ccl[b];
        c.ccl[b] = l;
        h = c.rlg[b] * l;
    }
    if (kind & BK_CAPACITOR) {
        const double k = -(c.g2c[b] * c.v20[b]) - i;
        c.cccd[b] = c.ccc[b];
        c.ccc[b] = k;
        h = h + k * c.rcg[b];
    }
    c.ccbrd[b] = c.ccbr[b];
    c.ccbr[b] = h;
    return h;
}
