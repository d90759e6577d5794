// The currents of the ideal branches, which the nodal solution does not
// give: each from the current balance at a node where it is the only
// ideal branch left, working from the ends of the ideal chains inwards.
#include <algorithm>
#include <string>
#include <vector>

#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "engine/solution_arrays.h"
#include "network/ideal_branches.h"
#include "network/network_tables.h"
#include "network/solution_hooks.h"

namespace {

[[noreturn]] void loop_limit(int32_t ss, int32_t br) {
    USERMSG(0, 0, 2, 3, "More than " + INT2TXT(1).trimmed() + " loops entirely ");
    USERMSG(0, 0, 2, 0, "consisting of ideal branches. ");
    USERMSG(0, 0, 2, -1,
            "Check branch " + INT2TXT(br).trimmed() + " in subsystem " + INT2TXT(ss).trimmed() + ".");
    ABORT_RUN("IDLCUR", 0);
}

// The current that leaves node p through its ideal branch: what is injected
// into p less what leaves it through the ordinary branches, the switches
// and the ideal branches already done (list positions done .. end).
double balance(int32_t ss, int32_t p, const std::vector<int32_t>& list, size_t done) {
    NetworkTables& N = NET;
    const int32_t n = N.NBUSES(ss);
    const SsView<double> gm = SSDESC_RA(ss);
    const auto v = [&](int32_t k) { return k == 0 ? 0.0 : N.VSOL(k); };
    double current = N.CINJ(p) - N.VSOL(p) * (gm(p, p) + N.GNOR(p, ss));
    // Row p: a line whose conductance is not symmetric leaves GM so.
    if (!gm.empty() && n <= gm.n2 && p <= gm.n1 && n <= N.VSOL.size()) {
        const double* v_sol = N.VSOL.data() - 1;
        for (int32_t j = 1; j <= n; ++j)
            if (j != p) current += v_sol[j] * gm.col(j)[p];
    } else {
        for (int32_t j = 1; j <= n; ++j)
            if (j != p) current += N.VSOL(j) * gm(p, j);
    }
    for (int32_t i = 1; i <= N.NSWITCH(ss); ++i) {
        const int32_t sw = N.SWLIST(i, ss);
        if (is_true(N.IDEALBR(sw, ss))) continue;
        const int32_t f = N.IEF(sw, ss), t = N.IET(sw, ss);
        if (f == p)
            current -= N.GEQ(sw, ss) * (N.VSOL(p) - v(t));
        else if (t == p)
            current -= N.GEQ(sw, ss) * (N.VSOL(p) - v(f));
    }
    for (size_t e = done; e < list.size(); ++e) {
        const int32_t br = list[e];
        if (N.IEF(br, ss) == p) current -= N.CBRT(br);
        if (N.IET(br, ss) == p) current += N.CBRT(br);
    }
    return current;
}

}  // namespace

void IDLCUR(int32_t ss, double fraction, int32_t branch, double& current, bool closing, bool resolving) {
    (void)closing;
    NetworkTables& N = NET;
    if (!is_true(N.IDEALSS(ss))) return;
    static std::vector<int32_t> list;
    list.clear();
    for (int32_t br = 1; br <= N.NBRANCHES(ss); ++br) {
        if (!is_true(N.IDEALBR(br, ss))) continue;
        list.push_back(br);
        N.CBRT(br) = 0.0;
    }
    const int32_t m = static_cast<int32_t>(list.size());
    if (m == 0) return;

    // Entries 1 .. k (list positions 0 .. k - 1) are still to do. A node is
    // free when at most limit ideal branches of those meet there; a whole
    // round without one raises the limit once per loop of ideal branches.
    const auto meeting = [&](int32_t node, int32_t k) {
        int32_t count = 1;
        for (int32_t e = 0; e < k - 1; ++e)
            if (N.IEF(list[e], ss) == node || N.IET(list[e], ss) == node) ++count;
        return count;
    };
    int32_t k = m, limit = 1, rounds = 0, loops = 0, reference = m;
    while (k > 0) {
        const int32_t br = list[static_cast<size_t>(k) - 1];
        const int32_t f = N.IEF(br, ss), t = N.IET(br, ss);
        int32_t node = f == 0 ? t : f;
        bool negate = f == 0;
        bool free = meeting(node, k) <= limit;
        if (!free && f != 0 && t != 0) {
            node = t;
            negate = true;
            free = meeting(t, k) <= limit;
        }
        if (free) {
            const double i = balance(ss, node, list, static_cast<size_t>(k));
            N.CBRT(br) = negate ? -i : i;
            limit = 1;
            --k;
            continue;
        }
        std::rotate(list.begin(), list.begin() + (k - 1), list.begin() + k);
        if (k == reference) {
            if (++rounds >= k) {
                ++limit;
                if (++loops > 1) loop_limit(ss, br);
                rounds = 0;
            }
        } else {
            reference = k;
            rounds = 0;
        }
    }
    // One loop of two ideal branches is taken: one of them carries the
    // whole current and the other what the balance leaves it.
    if (loops == 1 && reference >= 3) {
        USERMSG(0, 0, 2, 1, "Ideal loop processing is incomplete");
        ABORT_RUN("IDLCUR", 0);
    }

    if (branch >= 1) {
        current = N.CBRT(branch);
        return;
    }
    for (const int32_t br : list) {
        N.CBR(br, ss) = N.CBR(br, ss) + (N.CBRT(br) - N.CBR(br, ss)) * fraction;
        if (!is_true(N.DEFRDBR(br, ss)) && !resolving)
            N.CCBR(br, ss) = N.CCBRD(br, ss) + (N.CCBR(br, ss) - N.CCBRD(br, ss)) * fraction;
    }
}
