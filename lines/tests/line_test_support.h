// Line tables filled by hand: the storage of a small case and lossless
// single-conductor lines between a source end and a load end.
#pragma once

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "engine/engine_reset.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "lines/line_record.h"
#include "lines/line_tables.h"
#include "lines/lines.h"
#include "network/dimensions.h"
#include "network/network_tables.h"

namespace line_test {

// The storage of a case with the given requirements (the others 0).
inline bool allocate(const std::vector<std::pair<int, int32_t>>& req) {
    reset_all_engine_state();
    for (const auto& [k, v] : req) DIMBLOCK.REQ[k] = v;
    DIMBLOCK.NSUBSYS = DIMBLOCK.REQ[ND_SUBSYS];
    int32_t status = -1;
    ALLOC_STORAGE(status);
    return status == 0;
}

struct Lossless {
    double z = 400.0;
    int32_t delay = 10;  // steps
    double frac = 0.0;
    int32_t kind = tlrec::KIND_BERGERON;
    bool inflength = false;
    int32_t role = tlrec::ROLE_LOCAL;
    int32_t node1 = 1, node2 = 2, ss1 = 1, ss2 = 1;
};

// Row `row` as the l-th modal line, modes from offset c0 and buffer slots from b0.
inline void fill_lossless(const Lossless& d, int32_t row, int32_t l = 1, int32_t c0 = 0) {
    LineTables& L = LINE_TABLES;
    L.TLINE_REC(row, tlrec::KIND) = d.kind;
    L.TLINE_REC(row, tlrec::FAMILY) = l;
    L.TLINE_REC(row, tlrec::OFFSET) = c0;
    L.TLINE_REC(row, tlrec::ROLE) = d.role;
    L.TLINE_REC(row, tlrec::NCOND) = 1;
    for (int s : {tlrec::SEND1, tlrec::RECV1, tlrec::SEND2, tlrec::RECV2}) L.TLINE_REC(row, s) = 1;
    L.TLM_NCOND(l) = 1;
    L.TLM_SS1(l) = d.ss1;
    L.TLM_SS2(l) = d.ss2;
    L.TLM_KIND(l) = d.kind;
    L.TLM_INFLENGTH(l) = as_logical(d.inflength);
    L.TLM_FILTER(l) = 1.0;
    L.TLM_LOSSF(1, l) = L.TLM_LOSSF(2, l) = 1.0;
    const int32_t m = c0 + 1;
    L.TLM_NODE1(m) = d.node1;
    L.TLM_NODE2(m) = d.node2;
    L.TI(c0 + 1) = 1.0;  // one conductor, t0 = c0
    L.TLM_DELAY(m) = d.delay;
    L.TLM_BUFPOS(m) = 1;
    L.TLM_FRAC(m) = d.frac;
    L.TLM_YLOSS(m) = 1.0 / d.z;
    L.TLM_PROPK(m) = 1.0;
    // Bergeron: (1 + h) / 2 and (1 - h) / 2 of a lossless mode; "FRE-DEP":
    // the previous samples, none yet.
    L.TLM_HCOEF(m, 1) = L.TLM_KCOEF(m, 1) = d.kind == tlrec::KIND_FREDEP ? 0.0 : 1.0;
    L.TLM_HCOEF(m, 2) = L.TLM_KCOEF(m, 2) = 0.0;
    L.TLGMAT(1, 1, row) = 1.0 / d.z;
    ++LINE_COUNTS.NTLMODAL;
}

// Source voltage and resistance at end 1, load resistance at end 2.
struct Circuit {
    double vs = 100.0, rs = 100.0, rload = 1200.0;
};

// One step of a network of the two line-end nodes of subsystem 1: the
// line's injections, the node voltages (each end's node alone), the end
// currents. g1 and g2: what the line stamps at the nodes.
inline void step(const Circuit& c, double g1, double g2, bool with_end2 = true) {
    TLSTEP();
    NetworkTables& N = NET;
    N.VNODE(1, 1) = (c.vs / c.rs + N.TLINJ(1, 1)) / (1.0 / c.rs + g1);
    if (with_end2) N.VNODE(2, 1) = N.TLINJ(2, 1) / (1.0 / c.rload + g2);
    TLPOST();
}

// Requirements of one subsystem of two nodes and up to two one-conductor lines.
inline std::vector<std::pair<int, int32_t>> two_node_case() {
    return {{ND_NODES, 3},  {ND_SUBSYS, 1},       {ND_MAXMODES, 3},   {ND_TLINES, 2},       {ND_TLINES_TOTAL, 2},
            {ND_NUMMODES, 3}, {ND_TRAVWAVES, 80}, {ND_TRANSFORMS, 9}, {ND_CSCS, 6},         {ND_CSCR, 6},
            {ND_ENI_SERVERS, 1}, {ND_ENI_CLIENTS, 1}};
}

}  // namespace line_test
