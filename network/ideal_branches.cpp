#include "network/ideal_branches.h"

#include <algorithm>
#include <utility>

#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "engine/solution_arrays.h"
#include "network/network_tables.h"
#include "network/solution_hooks.h"

namespace {

constexpr int8_t kSet = -1;

bool flag_set(int8_t v) { return (v & 1) != 0; }

bool ideal(int32_t br, int32_t ss) { return is_true(NET.IDEALBR(br, ss)); }

[[noreturn]] void internal_problem(int32_t ss, int32_t br) {
    USERMSG(0, 0, 2, 2, "Internal problem in IDLSRC processing");
    USERMSG(0, 0, 2, -1, " branch " + INT2TXT(br).trimmed() + " of subsystem " + INT2TXT(ss).trimmed());
    ABORT_RUN("IDLSRC", 0);
}

// Row a's current equation joins row b's; row a becomes V(a) - V(b) = value.
void merge_rows(const SsView<double>& tri, const SsView<int8_t>& fill, int32_t n, int32_t a, int32_t b) {
    for (int32_t j = 1; j <= n; ++j) {
        tri(b, j) += tri(a, j);
        if (flag_set(fill(a, j))) fill(b, j) = kSet;
        fill(a, j) = 0;
        tri(a, j) = 0.0;
    }
    tri(a, b) = -1.0;
    tri(a, a) = 1.0;
    NET.IDLNODE(a) = LTRUE;
    fill(a, b) = kSet;
    fill(a, a) = kSet;
}

// Row x becomes V(x) = value.
void fix_node(const SsView<double>& tri, const SsView<int8_t>& fill, int32_t n, int32_t x) {
    for (int32_t j = 1; j <= n; ++j) {
        tri(x, j) = 0.0;
        fill(x, j) = 0;
    }
    tri(x, x) = 1.0;
    NET.IDLNODE(x) = LTRUE;
    fill(x, x) = kSet;
}

}  // namespace

void IDLSTART(int32_t ss) {
    NetworkTables& N = NET;
    int32_t m = N.MXINV(ss);
    if (m <= 1 || !is_true(N.IDEALSS(ss))) return;
    const int32_t nb = N.NBRANCHES(ss);
    for (int32_t br = 1; br <= nb; ++br) {
        if (!ideal(br, ss)) continue;
        const int32_t f = N.IEF(br, ss), t = N.IET(br, ss);
        if (f == 0 || t == 0) continue;
        const int32_t lo = std::min(f, t), hi = std::max(f, t);
        if (hi >= m && lo < m) {
            m = lo;
            br = 0;  // scan again from the first branch
        }
    }
    N.MXINV(ss) = m;
}

void IDLSRC(int32_t ss) {
    NetworkTables& N = NET;
    const int32_t n = N.NBUSES(ss), nb = N.NBRANCHES(ss), s = std::max(N.MXINV(ss), 1);
    const SsView<double> tri = SSDESC_RB(ss);
    const SsView<int8_t> fill = SSDESC_IB(ss);
    for (int32_t k = s; k <= n; ++k) N.IDLNODE(k) = LFALSE;

    // Ideal branches between two nodes, each with the node whose row
    // becomes its constraint first.
    int32_t c = 0;
    for (int32_t br = 1; br <= nb; ++br) {
        if (!ideal(br, ss)) continue;
        const int32_t f = N.IEF(br, ss), t = N.IET(br, ss);
        if (f == 0 || t == 0) continue;
        c += 1;
        if (f >= s || t >= s) {
            N.FLIPIDLBR(br, ss) = as_logical(tri(f, t) + tri(t, t) == 0.0 || f > t);
            if (f < s || t < s) internal_problem(ss, br);
        }
        const bool flip = is_true(N.FLIPIDLBR(br, ss));
        N.IDNODES(c, 1) = flip ? t : f;
        N.IDNODES(c, 2) = flip ? f : t;
        N.IDLIST(c, ss) = flip ? -br : br;
    }
    N.NIDEALA(ss) = c;

    // Ideal branches to ground.
    int32_t g = 0;
    for (int32_t br = 1; br <= nb; ++br) {
        if (!ideal(br, ss)) continue;
        const int32_t f = N.IEF(br, ss), t = N.IET(br, ss);
        if ((f != 0 && t != 0) || f == t) continue;
        g += 1;
        N.IDNODES(c + g, 1) = f;
        N.IDNODES(c + g, 2) = t;
        N.IDLIST(c + g, ss) = f == 0 ? -br : br;
        N.FLIPIDLBR(br, ss) = as_logical(f == 0);
    }
    const int32_t all = c + g;
    N.NIDEAL(ss) = all;

    for (int32_t i = 1; i <= c; ++i) {
        const int32_t a = N.IDNODES(i, 1), b = N.IDNODES(i, 2);
        // Rows below the start node keep what an earlier factorisation set.
        if (a < s || b < s) continue;
        if (a == b) {
            // Its nodes have merged already: the entry closes a loop.
            N.IDLIST(i, ss) = 0;
            SCTEST(ss);
            continue;
        }
        merge_rows(tri, fill, n, a, b);
        for (int32_t e = i + 1; e <= all; ++e)
            for (int side : {1, 2})
                if (N.IDNODES(e, side) == a) N.IDNODES(e, side) = b;
    }
    for (int32_t i = c + 1; i <= all; ++i) {
        const int32_t x = N.IDNODES(i, 1) + N.IDNODES(i, 2);
        if (x < s) continue;
        if (!is_true(N.IDLNODE(x))) {
            fix_node(tri, fill, n, x);
        } else {
            // The node is held already: a loop through ground.
            N.IDLIST(i, ss) = 0;
            SCTEST(ss);
        }
    }
}

void SCTEST(int32_t ss) {
    NetworkTables& N = NET;
    const int64_t room = std::min({N.SCT_BRANCH.size(), N.SCT_SOURCE.size(), N.SCT_NODES.extent(1)});
    int32_t k = 0;
    for (int32_t br = 1; br <= N.NBRANCHES(ss); ++br) {
        if (!ideal(br, ss)) continue;
        if (++k > room) {
            USERMSG(0, 0, 2, 1, "Problem in SCTEST, Temporary dimensions exceed");
            ABORT_RUN("SCTEST", 0);
        }
        N.SCT_NODES(k, 1) = N.IEF(br, ss);
        N.SCT_NODES(k, 2) = N.IET(br, ss);
        N.SCT_SOURCE(k) = N.SOURCE(br, ss);
        N.SCT_BRANCH(k) = br;
    }
    if (k == 0) return;

    // Branches with a node that no other branch has cannot lie on a loop;
    // dropping them one by one leaves the loops.
    const auto elsewhere = [&](int32_t node, int32_t last) {
        for (int32_t e = 1; e <= last; ++e)
            if (N.SCT_NODES(e, 1) == node || N.SCT_NODES(e, 2) == node) return true;
        return false;
    };
    int32_t cycles = 0, reference = k;
    for (;;) {
        const int32_t a = N.SCT_NODES(k, 1), b = N.SCT_NODES(k, 2);
        const bool free = k == 1 || !elsewhere(a, k - 1) || !elsewhere(b, k - 1);
        if (free) {
            if (--k == 0) return;
            continue;
        }
        const Logical source = N.SCT_SOURCE(k);
        const int32_t br = N.SCT_BRANCH(k);
        for (int32_t e = k; e >= 2; --e) {
            N.SCT_NODES(e, 1) = N.SCT_NODES(e - 1, 1);
            N.SCT_NODES(e, 2) = N.SCT_NODES(e - 1, 2);
            N.SCT_SOURCE(e) = N.SCT_SOURCE(e - 1);
            N.SCT_BRANCH(e) = N.SCT_BRANCH(e - 1);
        }
        N.SCT_NODES(1, 1) = b;
        N.SCT_NODES(1, 2) = a;
        N.SCT_SOURCE(1) = source;
        N.SCT_BRANCH(1) = br;
        if (k == reference) {
            if (++cycles >= k) break;
        } else {
            reference = k;
            cycles = 0;
        }
    }
    for (int32_t i = 1; i <= k; ++i) {
        if (!is_true(N.SCT_SOURCE(i))) continue;
        USERMSG(0, 0, 2, 2, "Short circuited voltage source ");
        USERMSG(0, 0, 2, -1,
                "branch " + INT2TXT(N.SCT_BRANCH(i)).trimmed() + " of subsystem " + INT2TXT(ss).trimmed());
        ABORT_RUN("SCTEST", 0);
    }
}
