// The columns of one subsystem that the passes of its step read, taken
// once and kept while no array is made or freed, so that a pass does not
// find each again.
#pragma once

#include <cstdint>

#include "network/network_tables.h"
#include "network/solution_columns.h"

struct SubsystemColumns {
    int32_t ss = 0;
    int64_t layouts = -1;  // farray_layouts() when taken
    // Node columns.
    Col<double> vnode, chist, chistd, tlinj, tlinjd, cnor, cnord, gnor, gnord;
    Col<int32_t> norbus, chatcntv;
    // Branch columns.
    Col<int32_t> ief, iet, thisbr, iorv, swlist, chatcnti;
    Col<Logical> source, idealbr, defrdbr;
    Col<double> geq, geqd, cbr, ccbr, ccbrd, ccl, ccld, ccc, cccd, v12l, v20l, rcl, rlg, rsc, rcg, rsl, g2l, g2c;
    Col<double> ebr, ebrd, swval, tswitch;
    // The vectors of the subsystem being solved.
    Col<double> vsol, cinj, cbrt;
    Col<Logical> brchg, norchg, swpend;
    Col<int32_t> swcount;
};

// The columns last taken, and their taking.
extern SubsystemColumns SUBSYSTEM_COLUMNS_KEPT;
const SubsystemColumns& take_subsystem_columns(int32_t ss);

// Subsystem ss's columns (a subsystem outside the tables gives empty ones,
// as column() does, each noted).
inline const SubsystemColumns& subsystem_columns(int32_t ss) {
    const SubsystemColumns& c = SUBSYSTEM_COLUMNS_KEPT;
    if (c.ss == ss && c.layouts == farray_layouts()) [[likely]]
        return c;
    return take_subsystem_columns(ss);
}
