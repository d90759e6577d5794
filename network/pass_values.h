// A branch's history current and source EMF as the present pass sees them
// (INTVAL1 and INTVAL2), over the columns of one subsystem taken once per
// pass. The solution checks its subsystem's tables before the passes run.
#pragma once

#include <cstdint>

#include "network/network_tables.h"
#include "network/solution_columns.h"
#include "network/solution_hooks.h"
#include "network/subsystem_columns.h"
#include "platform/logical.h"

// A value at the instant the pass solves for, from the step's value now
// and before: the history current of an injected branch (INTVAL1) and a
// source EMF that is not extrapolated (INTVAL2). An opening pass takes the
// new value only where the branch changed.
inline __attribute__((always_inline)) double value_at_pass(double now, double before, bool changed, double reached,
                                                           bool opening, bool resolving, bool partial) {
    if (opening) return changed ? now : before;
    if (resolving) return partial ? before + reached * (now - before) : before;
    return partial ? now + reached * (now - before) : now;
}

struct PassValues {
    Col<Logical> changed, injected;  // BRCHG, DEFRDBR
    Col<double> ccbr, ccbrd, ebr, ebrd;
    Col<int32_t> record;             // THISBR
    bool extrapolate;                // SSEXTRAP
    bool resolving, partial, opening;
    double reached;

    PassValues(int32_t ss, bool resolving_, bool partial_, bool opening_, double reached_)
        : PassValues(subsystem_columns(ss), ss, resolving_, partial_, opening_, reached_) {}
    PassValues(const SubsystemColumns& c, int32_t ss, bool resolving_, bool partial_, bool opening_, double reached_)
        : changed(c.brchg),
          injected(c.defrdbr),
          ccbr(c.ccbr),
          ccbrd(c.ccbrd),
          ebr(c.ebr),
          ebrd(c.ebrd),
          record(c.thisbr),
          extrapolate(is_true(NET.SSEXTRAP(ss))),
          resolving(resolving_),
          partial(partial_),
          opening(opening_),
          reached(reached_) {}

    // INTVAL1: the history current of branch b.
    double history(int32_t b) const {
        if (!opening && !is_true(injected[b])) return ccbr[b];
        return value_at_pass(ccbr[b], ccbrd[b], opening && is_true(changed[b]), reached, opening, resolving, partial);
    }

    // INTVAL2: the source EMF of branch b; evaluate lets a non-resolving
    // pass re-evaluate a voltage source at the solution instant.
    double emf(int32_t b, bool vsource, bool evaluate) const {
        if (!opening && vsource && extrapolate) {
            if (resolving) return ebrd[b];
            if (evaluate) {
                NET.SRC_POS = record[b];
                VSRC_EVAL();
            }
            return ebr[b];
        }
        return value_at_pass(ebr[b], ebrd[b], opening && is_true(changed[b]), reached, opening, resolving, partial);
    }
};
