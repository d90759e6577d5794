#include "snapshot/snap_checks.h"

#include <algorithm>
#include <cstdlib>

#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "models/branch_changes.h"
#include "models/transformers/magnetic_circuit.h"
#include "models/xfmr_tables.h"
#include "network/dimensions.h"
#include "network/network_tables.h"

namespace {

// The lists of rows 1..n: row r's entries lie in columns first(r)..last(r)
// and ascend from position 1 on.
void check_lists(SnapStream& s, const FArray2<int32_t>& start, const FArray2<int32_t>& end,
                 const FArray2<int32_t>& col, int32_t ss, int32_t n, bool lower) {
    const int64_t room = col.extent(1);
    int64_t next = 1;
    for (int32_t r = 1; r <= n; ++r) {
        const int32_t first = start(r, ss), last = end(r, ss);
        s.require(first == next && last >= int64_t{first} - 1 && last <= room);
        int32_t previous = lower ? 0 : r;
        const int32_t most = lower ? r - 1 : n;
        for (int64_t p = first; p <= last; ++p) {
            const int32_t c = col(p, ss);
            s.require(c > previous && c <= most);
            previous = c;
        }
        next = int64_t{last} + 1;
    }
}

}  // namespace

bool node_of(int32_t node, int32_t ss, bool ground) {
    return node >= (ground ? 0 : 1) && ss >= 1 && ss <= DIMBLOCK.NSUBSYS && node <= NET.NBUSES(ss);
}

bool coupled(int32_t ss, const std::vector<int32_t>& nodes) {
    const SsView<int8_t> pat = SSDESC_IA(ss);
    for (const int32_t a : nodes)
        for (const int32_t b : nodes)
            if (a != 0 && b != 0 && a != b && (pat(a, b) & 1) == 0) return false;
    return true;
}

void check_lower_lists(SnapStream& s, int32_t ss, int32_t n) {
    check_lists(s, NET.LOWSTART, NET.LOWEND, NET.LOWCOL, ss, n, true);
}

void check_upper_lists(SnapStream& s, int32_t ss, int32_t n) {
    check_lists(s, NET.UPSTART, NET.UPEND, NET.UPCOL, ss, n, false);
}

void check_from_nodes(SnapStream& s, int32_t ss, int32_t n, int32_t m) {
    for (int32_t b = 1; b <= m; ++b) s.check(NET.IEF(b, ss), 0, n);
}

void check_to_nodes(SnapStream& s, int32_t ss, int32_t n, int32_t m) {
    const SsView<int8_t> pat = SSDESC_IA(ss);
    for (int32_t b = 1; b <= m; ++b) {
        const int32_t f = NET.IEF(b, ss), t = NET.IET(b, ss);
        s.check(t, 0, n);
        s.require(f != t);
        if (f != 0 && t != 0) s.require((pat(f, t) & 1) != 0 && (pat(t, f) & 1) != 0);
    }
}

void check_record_positions(SnapStream& s, int32_t ss, int32_t, int32_t m) {
    const int64_t stori = STORAGE.STORI.size(), rtci = STORAGE.RTCI.size();
    for (int32_t b = 1; b <= m; ++b) {
        const int32_t p = NET.THISBR(b, ss);
        s.require(p >= -rtci && p <= stori);
    }
}

void check_switch_flags(SnapStream& s, int32_t ss, int32_t m) {
    int32_t flagged = 0;
    for (int32_t b = 1; b <= m; ++b)
        if (is_true(NET.SWITCH(b, ss))) ++flagged;
    s.require(flagged == NET.NSWITCH(ss));
}

void check_transformer_head(SnapStream& s, int32_t t) {
    const XfmrTables& X = XFMR_TABLES;
    s.check(X.XF_NWDG(t), 1, static_cast<int32_t>(std::min(X.XF_NODE1.extent(1), X.XF_RES.extent(2))));
    // The range first: the later checks take its absolute value, which the
    // smallest integer does not have.
    const int32_t ss = X.XF_SUBSYS(t);
    s.check(ss, -DIMBLOCK.NSUBSYS, DIMBLOCK.NSUBSYS);
    s.require(ss != 0);
}

void check_winding_nodes(SnapStream& s, int32_t t) {
    const XfmrTables& X = XFMR_TABLES;
    const int32_t ss = std::abs(X.XF_SUBSYS(t));
    std::vector<int32_t> nodes;
    for (int32_t w = 1; w <= X.XF_NWDG(t); ++w) {
        const int32_t a = X.XF_NODE1(w, t), b = X.XF_NODE2(w, t);
        s.require(node_of(a, ss, true) && node_of(b, ss, true) && a != b);
        nodes.insert(nodes.end(), {a, b});
    }
    s.require(coupled(ss, nodes));
}

void check_transformer_form(SnapStream& s, int32_t t) {
    const XfmrTables& X = XFMR_TABLES;
    const int32_t code = X.XF_KIND(t), subsystem = X.XF_SUBSYS(t);
    // Code 1 (magnetic circuit) and the inverse-inductance codes 0 and -1
    // go with a negative subsystem; the R-L form takes any code but 1.
    s.require(subsystem < 0 ? code >= -1 && code <= 1 : code != 1);
    if (code != 1) return;
    // The core's type fixes its windings and the least of its branches.
    const int32_t type = X.XF_CORETYPE(t), branches = X.XF_NBR(t);
    s.require(type >= 0 && type <= 5 && X.XF_NWDG(t) == xfmr_core_nodes(type) &&
              branches >= xfmr_core_branches(type) && branches <= XFMR_MAXBR);
}

void check_segment_flags(SnapStream& s, int32_t t) {
    for (int32_t i = 1; i <= XFMR_MAXBR; ++i) s.check(XFMR_TABLES.XF_SEGST(i, t), 0, 1);
}

void check_transformer_counts(SnapStream& s) {
    const XfmrTables& X = XFMR_TABLES;
    for (int32_t ss = 1; ss <= DIMBLOCK.NSUBSYS; ++ss) {
        int32_t count = 0;
        for (int32_t t = 1; t <= X.XF_COUNT; ++t)
            if (std::abs(X.XF_SUBSYS(t)) == ss) ++count;
        s.require(count == X.XF_NSS(ss));
    }
}

void check_branch_changes(SnapStream& s) {
    BranchChangeList& B = BRCHANGE_LIST;
    for (int32_t r = 1; r <= B.count; ++r) {
        const int32_t kind = B.icol(1, r), ss = B.icol(8, r);
        s.require(kind == BRCHANGE_MACHINE_NODE || kind == BRCHANGE_MACHINE_PAIR || kind == BRCHANGE_COMPENSATOR ||
                  kind == BRCHANGE_RETYPED_KIND || kind == BRCHANGE_MACHINE_BRANCH);
        s.check(ss, 1, DIMBLOCK.NSUBSYS);
        if (kind == BRCHANGE_RETYPED_KIND) s.check(B.icol(2, r), 1, NET.NBRANCHES(ss));
    }
}
