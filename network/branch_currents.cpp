#include "network/branch_currents.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <vector>
#include <cstdlib>

#include "controls/branch_voltage.h"
#include "engine/abort.h"
#include "engine/storage.h"
#include "models/xfmr_tables.h"
#include "network/branch_plan.h"
#include "network/chatter.h"
#include "network/history_step.h"
#include "network/interpolation.h"
#include "network/network_tables.h"
#include "network/pass_values.h"
#include "network/series_results.h"
#include "network/subsystem_columns.h"
#include "network/solution_checks.h"
#include "network/solution_columns.h"
#include "network/solution_hooks.h"
#include "network/solution_loops.h"
#include "network/switch_records.h"
#include "platform/logical.h"

namespace {

// The subsystem whose closing pass left its series and sourced branches' history
// currents as the previous ones (0: none), for FINISHUP.
int32_t closed_series = 0;

[[gnu::noinline]] void misaligned_transformers(const char* routine, const char* text) {
    USERMSG(0, 0, 2, 2, text);
    USERMSG(0, 0, 2, -1, "Transformer Subsystem Numbers are mis-aligned");
    ABORT_RUN(routine, 0);
}

// More transformers naming the subsystem than it counts ends the run.
inline bool has_transformers(int32_t ss, const char* routine, const char* text) {
    const XfmrTables& X = XFMR_TABLES;
    const int32_t mine = ss <= X.XF_NSS.size() ? X.XF_NSS(ss) : 0;
    const int32_t total = X.XF_COUNT;
    if (mine <= 0 || total <= 0) return false;
    // Transformer t's subsystem at [t - 1], for the transformers the table holds.
    const int32_t* subsystem = X.XF_SUBSYS.data();
    const int64_t listed = std::min<int64_t>(total, X.XF_SUBSYS.size());
    int32_t count = 0;
    for (int64_t t = 0; t < listed; ++t)
        if (std::abs(subsystem[t]) == ss && ++count > mine) misaligned_transformers(routine, text);
    return true;
}

// The energy of an arrester branch, from its record in STOR.
void arrester_energy(int32_t ss, int32_t b) {
    NetworkTables& N = NET;
    StorageArrays& S = STORAGE;
    // The record's positions come from the arrester model: check them.
    const int64_t rec = int64_t{N.THISBR(b, ss)} + 1;
    if (rec < 1 || rec > S.STORI.size())
        switch_record_error(ss, b, "Arrester record outside STORI.", "INCALCVI");
    const int32_t r = S.STORI(rec);
    if (r < 0 || int64_t{r} + 3 > S.STOR.size())
        switch_record_error(ss, b, "Arrester energy record outside STOR.", "INCALCVI");
    const int32_t p = nint(S.STOR(r + 1));
    if (p < 3 || p > S.STOR.size()) switch_record_error(ss, b, "Arrester energy position outside STOR.", "INCALCVI");
    const double t = N.TIME_SOL;
    if (nint(S.STOR(r + 3)) == 1) {
        S.STOR(r + 2) = std::min(S.STOR(r + 2), t);
        const double dt = t - S.STOR(r + 2);
        const double v = BRANCH_VOLTAGE(ss, b);
        S.STOR(p) = S.STOR(p) + std::fabs((N.CBR(b, ss) + S.STOR(p - 2)) * (S.STOR(p - 1) + v)) * 250.0 * dt;
        S.STOR(p - 2) = N.CBR(b, ss);
        S.STOR(p - 1) = v;
    }
    S.STOR(r + 2) = t;
}

// The history step over one run of the history list: one kind, one way to
// the nodes.
template <uint8_t Kinds, uint8_t Ends>
inline __attribute__((always_inline)) void history_run(const PlannedBranch* e, const PlannedBranch* end,
                                                       const HistoryColumns& c, double* hist) {
    for (; e != end; ++e) {
        const double h = branch_history<Kinds>(c, e->b, e->kind);
        if (Ends != HE_FROM_ONLY) hist[e->to] -= h;
        if (Ends != HE_TO_ONLY) hist[e->from] += h;
    }
}

// The runs in list order, which keeps the node sums in branch order.
void history_step(const BranchPlan& plan, const HistoryColumns& c, double* hist) {
    const PlannedBranch* list = plan.history.data();
    for (const HistoryRun& r : plan.history_runs) {
        const PlannedBranch *first = list + r.first, *end = list + r.end;
        constexpr uint8_t L = BK_INDUCTOR, C = BK_CAPACITOR, LC = BK_INDUCTOR | BK_CAPACITOR;
        static_assert(L >> 3 == 1 && C >> 3 == 2, "a run's kinds shifted down give 1 to 3");
        switch ((r.kinds >> 3) * 3 + r.ends) {
            case 3: history_run<L, HE_BOTH>(first, end, c, hist); break;
            case 4: history_run<L, HE_FROM_ONLY>(first, end, c, hist); break;
            case 5: history_run<L, HE_TO_ONLY>(first, end, c, hist); break;
            case 6: history_run<C, HE_BOTH>(first, end, c, hist); break;
            case 7: history_run<C, HE_FROM_ONLY>(first, end, c, hist); break;
            case 8: history_run<C, HE_TO_ONLY>(first, end, c, hist); break;
            case 9: history_run<LC, HE_BOTH>(first, end, c, hist); break;
            case 10: history_run<LC, HE_FROM_ONLY>(first, end, c, hist); break;
            default: history_run<LC, HE_TO_ONLY>(first, end, c, hist); break;
        }
    }
}

}  // namespace

void BRCURR(int32_t ss) {
    DSMDYN(ss);
    const BranchPlan& plan = branch_plan(ss);
    history_step(plan, history_columns(ss), subsystem_columns(ss).chist.p - 1);
}

void INCALCVI(int32_t ss, double reached, double fraction, bool closing, bool partial, bool opening,
              bool resolving) {
    NetworkTables& N = NET;
    const int32_t n = N.NBUSES(ss), nb = N.NBRANCHES(ss);
    const bool detect = closing && is_true(N.SSDETCHAT(ss));
    // A whole step's node voltages move their chatter counters as they are
    // taken.
    const bool count_nodes = detect && !partial && !is_true(N.SSCHATTER(ss));

    // The solution with ground as entry 0; one that is no longer finite
    // ends the run here.
    static std::vector<double> solved;
    // Eight more than the nodes, so that a lane of eight may read past the last.
    if (solved.size() < static_cast<size_t>(n) + 9) solved.resize(static_cast<size_t>(n) + 9);
    double* x = solved.data();
    x[0] = 0.0;
    const SubsystemColumns& C = subsystem_columns(ss);
    const Col<double> vsol = C.vsol, vnode = C.vnode;
    if (!copy_finite(vsol.p, n, x + 1)) solution_not_finite(ss);
    if (detect && !count_nodes) CHATTER_CHK(ss, 1);
    const Col<double> hist = C.chist, histd = C.chistd;
    if (count_nodes) {
        if (take_counted_nodes(n, vsol.p, vnode.p, x + 1, C.chatcntv.p, N.SSCHATLEV(ss)))
            CHATTER_FOUND(ss, true, CHATTER_PRINTING(1));
    } else if (!partial) {
        std::copy(vsol.p, vsol.p + n, vnode.p);
    } else {
        move_nodes(n, vsol.p, vnode.p, x + 1, fraction);
        if (!resolving) draw_back(n, hist.p, histd.p, fraction);
    }

    const BranchPlan& plan = branch_plan(ss);
    const uint8_t* kinds = plan.kind.data();
    const Col<Logical> changed = C.brchg;
    const Col<int32_t> to = C.iet, from = C.ief, counter = C.chatcnti;
    const Col<double> geq = C.geq, cbr = C.cbr, cbrt = C.cbrt;
    const Col<double> ccbr = C.ccbr, ccbrd = C.ccbrd;
    const Col<double> ccl = C.ccl, ccld = C.ccld, ccc = C.ccc;
    const Col<double> cccd = C.cccd, v12 = C.v12l, v20 = C.v20l;
    const Col<double> rcl = C.rcl, rlg = C.rlg, rsc = C.rsc;
    const Col<double> rcg = C.rcg, rsl = C.rsl;
    const Col<double> ebr = C.ebr, ebrd = C.ebrd, geqd = C.geqd;
    const bool extrap = is_true(N.SSEXTRAP(ss));
    const PassColumns cols{x,   changed, from, to,   counter, geq, cbr, cbrt, ccbr, ccbrd, ccl,  ccld,
                           ccc, cccd,    v12,  v20,  rcl,     rlg, rsc, rcg,  rsl,  geqd,  ebr,  ebrd,
                           N.SSCHATLEV(ss), extrap, plan.windows ? static_cast<int64_t>(solved.size()) : 0,
                           reached};
    // Chatter found before the branches' counters move (pending, or at the
    // nodes just now) leaves them all at 0.
    const bool counted_before = detect && is_true(N.SSCHATTER(ss));
    const bool leaves_history = closing && !resolving && !opening;
    const int flags = (partial ? PF_PARTIAL : 0) | (resolving ? PF_RESOLVING : 0) | (opening ? PF_OPENING : 0) |
                      (detect ? PF_DETECT : 0) | (leaves_history ? PF_CLOSING : 0);
    bool found = SERIES_RESULTS(plan, nb, cols, flags, fraction);
    closed_series = leaves_history ? ss : 0;
    const PassValues values(ss, resolving, partial, opening, reached);
    for (const int32_t b : plan.other) {
        const uint8_t kind = kinds[b];
        double e = 0.0;
        if (kind & BK_SOURCE) {
            const bool vs = (kind & BK_VSOURCE) != 0;
            if (vs && extrap && !opening && !resolving) ebrd[b] = partial ? ebrd[b] + fraction * (ebr[b] - ebrd[b]) : ebr[b];
            e = values.emf(b, vs, false);
        }
        if (kind & BK_IDEAL) continue;
        const double vb = x[from[b]] - x[to[b]] + e;
        const bool injected = (kind & BK_INJECTED) != 0;
        double h;
        if (opening)
            h = is_true(changed[b]) ? ccbr[b] : ccbrd[b];
        else if (!injected)
            h = ccbr[b];
        else
            h = values.history(b);
        const double i = geq[b] * vb + h;
        if (detect)
            cbrt[b] = i;
        else
            cbr[b] = partial ? cbr[b] + fraction * (i - cbr[b]) : i;
        if (!injected) {
            if (!resolving) ccbr[b] = ccbrd[b] + fraction * (ccbr[b] - ccbrd[b]);
            const double l_hist = ccl[b], c_hist = ccc[b];
            if (kind & BK_INDUCTOR) {
                const double vl = c_hist * rcl[b] + rlg[b] * vb - l_hist * rsc[b];
                v12[b] = partial ? v12[b] + fraction * (vl - v12[b]) : vl;
                if (!resolving) ccl[b] = ccld[b] + fraction * (l_hist - ccld[b]);
            }
            if (kind & BK_CAPACITOR) {
                const double vc = l_hist * rcl[b] + rcg[b] * vb - c_hist * rsl[b];
                v20[b] = partial ? v20[b] + fraction * (vc - v20[b]) : vc;
                if (!resolving) ccc[b] = cccd[b] + fraction * (c_hist - cccd[b]);
            }
        }
        if (kind & BK_ARRESTER) arrester_energy(ss, b);
    }

    if (detect) {
        // The series and sourced branches' counters moved with their
        // results; every other branch's moves from its current before to
        // the pass's current, and every one but an ideal branch then takes
        // it.
        const double level = N.SSCHATLEV(ss);
        // Made for partial passes and whole ones, the reached chatter kept
        // in a register.
        const auto count_all = [&](auto part) {
            constexpr bool drawn = decltype(part)::value;
            bool any = false;
            const auto count = [&](int32_t b, bool ideal) {
                const double before = cbr[b], now = cbrt[b];
                const int32_t next = CHATTER_NEXT(counter[b], before, now, level);
                counter[b] = next;
                any |= CHATTER_AT(next);
                if (!ideal) cbr[b] = drawn ? before + fraction * (now - before) : now;
            };
            for (const int32_t b : plan.other) count(b, (kinds[b] & BK_IDEAL) != 0);
            found |= any;
        };
        if (partial)
            count_all(std::true_type{});
        else
            count_all(std::false_type{});
        if (counted_before)
            std::fill(counter.p, counter.p + nb, 0);
        else if (found)
            CHATTER_FOUND(ss, false, CHATTER_PRINTING(2));
    }
    if (has_transformers(ss, "INCALCVI", "Error during solution of transformers. "))
        XFMR_CURRENTS(ss, fraction, partial, opening, resolving);
    if (is_true(N.IDEALSS(ss))) {
        double unused = 0.0;
        IDLCUR(ss, fraction, 0, unused, closing, resolving);
    }
}

void FINISHUP(int32_t ss) {
    NetworkTables& N = NET;
    const int32_t n = N.NBUSES(ss), nb = N.NBRANCHES(ss);
    const SubsystemColumns& C = subsystem_columns(ss);
    const Col<double> tl = C.tlinj, tld = C.tlinjd;
    copy_changed(tl.p, tld.p, n);

    const BranchPlan& plan = branch_plan(ss);
    const Col<double> ebr = C.ebr, ebrd = C.ebrd, ccbr = C.ccbr;
    const Col<double> ccbrd = C.ccbrd, geq = C.geq, geqd = C.geqd;
    // BRCHG is read only inside a step, which clears it first.
    // A voltage source whose EMF is extrapolated keeps the EBRD of INCALCVI.
    const bool keep = is_true(N.SSEXTRAP(ss));
    if (closed_series == ss) {
        // The closing pass left the series and sourced branches' values and
        // every conductance.
        // Made for SSEXTRAP on and off, so that the loop tests no option.
        const auto close_all = [&](auto kept) {
            constexpr bool keeps = decltype(kept)::value;
            for (const int32_t b : plan.other) {
                if (!(keeps && (plan.kind[static_cast<size_t>(b)] & BK_VSOURCE))) ebrd[b] = ebr[b];
                ccbrd[b] = ccbr[b];
            }
        };
        if (keep)
            close_all(std::true_type{});
        else
            close_all(std::false_type{});
    } else {
        if (!plan.vsources.empty() && keep) {
            static std::vector<double> kept;
            kept.clear();
            for (const int32_t b : plan.vsources) kept.push_back(ebrd[b]);
            copy_changed(ebr.p, ebrd.p, nb);
            for (size_t k = 0; k < kept.size(); ++k) ebrd[plan.vsources[k]] = kept[k];
        } else {
            copy_changed(ebr.p, ebrd.p, nb);
        }
        std::copy(ccbr.p, ccbr.p + nb, ccbrd.p);
        copy_changed(geq.p, geqd.p, nb);
    }
    closed_series = 0;

    const Col<int32_t> norbus = C.norbus;
    const Col<double> cnor = C.cnor, cnord = C.cnord;
    const Col<double> gnor = C.gnor, gnord = C.gnord;
    for (int32_t m = 1; m <= N.NNORTON(ss); ++m) {
        const int32_t k = norbus[m];
        cnord[k] = cnor[k];
        gnord[k] = gnor[k];
    }
    if (has_transformers(ss, "FINISHUP", "Error duing solution of transformers. ")) XFMR_ROLLOVER(ss);
}
