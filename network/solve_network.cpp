#include "network/solve_network.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "controls/branch_voltage.h"
#include "engine/run_state.h"
#include "lines/lines.h"
#include "models/xfmr_tables.h"
#include "network/branch_currents.h"
#include "network/branch_plan.h"
#include "network/dimensions.h"
#include "network/interpolation.h"
#include "network/network_tables.h"
#include "network/pending_switches.h"
#include "network/solution_checks.h"
#include "network/solution_columns.h"
#include "network/solution_hooks.h"
#include "network/subsystem_columns.h"
#include "network/switch_set_up.h"
#include "network/triangularise.h"

PendingSwitches PENDING_SWITCHES;

namespace {

// The Norton buses of every subsystem, once per run started from data.
void build_norton_lists() {
    NetworkTables& N = NET;
    for (int32_t s = 1; s <= DIMBLOCK.NSUBSYS; ++s) {
        int32_t count = 0;
        for (int32_t k = 1; k <= N.NBUSES(s); ++k) {
            N.CNORD(k, s) = N.CNOR(k, s);
            N.GNORD(k, s) = N.GNOR(k, s);
            if (std::fabs(N.GNOR(k, s)) > 1e-20 || std::fabs(N.CNOR(k, s)) > 1e-20 || is_true(N.NORMARK(k, s)))
                N.NORBUS(++count, s) = k;
        }
        N.NNORTON(s) = count;
    }
}

// Whether an initial node voltage reached either end of the branch.
bool voltage_given(int32_t ss, int32_t b) {
    const NetworkTables& N = NET;
    const int32_t f = N.IEF(b, ss), t = N.IET(b, ss);
    return (f != 0 && is_true(N.VGIVEN(f, ss))) || (t != 0 && is_true(N.VGIVEN(t, ss)));
}

// The inductor and capacitor voltages of the data's initial state, from
// the initial node voltages and the initial branch current, so that the
// first history step starts from that state: a branch holds its initial
// voltage less the resistive drop of its initial current (a capacitor
// sharing a branch with an inductor keeps its own voltage).
void initial_branch_state(int32_t ss) {
    NetworkTables& N = NET;
    const int32_t nb = N.NBRANCHES(ss);
    for (int32_t b = 1; b <= nb; ++b) {
        const bool l = is_true(N.INDUCTOR(b, ss)), c = is_true(N.CAPACITR(b, ss));
        if ((!l && !c) || is_true(N.DEFRDBR(b, ss)) || is_true(N.IDEALBR(b, ss)) || is_true(N.SWITCH(b, ss)) ||
            N.GEQ(b, ss) == 0.0)
            continue;
        const double v = BRANCH_VOLTAGE(ss, b);
        const double drop = is_true(N.RESISTOR(b, ss)) ? N.BRANCH_R(b, ss) * N.CBR(b, ss) : 0.0;
        const double rest = v - drop;
        if (l && c)
            N.V12L(b, ss) = rest - N.V20L(b, ss);
        else if (l)
            // A coil across given node voltages has them across it; one
            // given only its current carries it steadily.
            N.V12L(b, ss) = N.CBR(b, ss) == 0.0 || voltage_given(ss, b) ? rest : 0.0;
        else
            N.V20L(b, ss) = rest;
    }
}

void solve_subsystem(int32_t ss, bool first_data) {
    NetworkTables& N = NET;
    const int32_t n = N.NBUSES(ss), ns = N.NSWITCH(ss);
    const double step_start = static_cast<double>(RUN_CLOCK.NSTEP - 1) * RUN_CLOCK.DELT;
    N.TIME_SOL = step_start;

    const SubsystemColumns& C = subsystem_columns(ss);
    const Col<int32_t> norbus = C.norbus;
    const Col<double> gnor = C.gnor, gnord = C.gnord;
    const Col<Logical> norchg = C.norchg;
    for (int32_t m = 1; m <= N.NNORTON(ss); ++m) {
        const int32_t k = norbus[m];
        const bool changed = std::fabs(gnord[k] - gnor[k]) > 1e-10 * std::fabs(gnord[k]);
        norchg[k] = as_logical(changed);
        if (changed) N.MXINV(ss) = std::min(N.MXINV(ss), k);
    }

    // Only switches ever have BRCHG set: those set in an earlier step are
    // cleared, so every branch of this subsystem starts the step without.
    const Col<Logical> brchg = C.brchg;
    static std::vector<int32_t> marked;
    for (const int32_t b : marked)
        if (b <= N.BRCHG.size()) brchg[b] = LFALSE;
    marked.clear();
    const bool interpolate = is_true(N.SSINTERP(ss));
    const Col<int32_t> list = C.swlist, code = C.iorv, count = C.swcount;
    const Col<Logical> pending = C.swpend;
    const Col<double> instant = C.tswitch, geq = C.geq, geqd = C.geqd;
    // Good while this step is solved: its end, a return or an unwinding
    // stop, ends it.
    struct PendingGuard {
        ~PendingGuard() { PENDING_SWITCHES.ss = 0; }
    } guard;
    // The pending switches go to a buffer sized for every switch, and the
    // changed ones are listed after it.
    static std::vector<int32_t> gathered;
    if (gathered.size() < static_cast<size_t>(std::max(ns, 0))) gathered.resize(static_cast<size_t>(ns));
    int32_t* const first_due = gathered.data();
    int32_t* next_due = first_due;
    const bool any_changed =
        set_up_switches({list, code, count, pending, instant, geq, geqd, brchg}, ns, interpolate, next_due);
    PENDING_SWITCHES.list.assign(first_due, next_due);
    if (any_changed) [[unlikely]]
        for (int32_t k = 1; k <= ns; ++k)
            if (is_true(brchg[list[k]])) marked.push_back(list[k]);

    PENDING_SWITCHES.ss = ss;

    // The first step of a run from data starts from the data's initial
    // state: its histories are formed from it before any pass, as there is
    // no earlier solution to re-solve.
    // What the models changed before the step comes with a lower start node.
    // A restored run's first factorisation rebuilds from node 1 the factors
    // a snapshot does not hold; it re-solves, and halves for chatter, only
    // where the run it continues factorised in this step. A half step due
    // from the snapshot's own step is not in the snapshot.
    const int32_t start_node = N.MXINV(ss);
    const bool rebuilding = is_true(RUN_FLAGS.FIRST_STEP_RUN) && RUN_SEQ.START_MODE == "SNAP";
    if (rebuilding) N.MXINV(ss) = std::min(start_node, 1);
    if (N.MXINV(ss) <= n) {
        CHECK_SOLUTION_TABLES(ss);
        BUILD_BRANCH_PLAN(ss);
    }
    bool resolving = start_node <= n && interpolate && !first_data;
    bool opening = resolving;
    ITRIANG(ss);
    if (rebuilding && start_node > n) N.SSCHATTER(ss) = LFALSE;
    // Nor has that first step chatter to remove: a half step would average
    // its solution with the data's initial node voltages, which solve nothing.
    if (first_data) N.SSCHATTER(ss) = LFALSE;

    double reached = 0.0, span = 0.0, next = 1.5;
    bool partial = false, closing = false;
    bool history = !resolving;
    for (;;) {
        if (history) {
            resolving = false;
            opening = false;
            BRCURR(ss);
            // Nothing is done with a core branch's change of segment.
            XFMR_TABLES.SS_XFSEGCHG(ss) = 0;
            history = false;
        }
        if (!is_true(N.SSRMCHAT(ss))) N.SSCHATTER(ss) = LFALSE;
        INTERPA(ss, reached, partial, resolving, opening);
        INTERPB(ss, reached, partial, resolving, opening);
        INTERPOL(ss, reached, span, next, opening, resolving);
        bool halving = false;
        if (resolving) {
            partial = true;
            closing = false;
            if (span <= 1.0) span = std::min(next, 1.0);
        } else {
            if (is_true(N.SSCHATTER(ss)) && next > 0.5001 && reached < 0.5) {
                span = 0.5;
                next = 0.5;
                N.SSCHATTER(ss) = LFALSE;
                halving = true;
            }
            if (reached + span >= 1.0) {
                closing = true;
                if (reached > 0.0) {
                    span = 1.0 - reached;
                    partial = true;
                    if (const std::vector<int32_t>* p = pending_switches(ss))
                        for (const int32_t b : *p) instant[b] = 1.5;
                    else
                        for (int32_t k = 1; k <= ns; ++k) instant[list[k]] = 1.5;
                } else {
                    span = 1.0;
                    partial = false;
                }
            } else {
                span = next;
                partial = true;
                closing = false;
                if (next + reached >= 1.0) span = 1.0 - reached;
            }
        }
        const double fraction = resolving ? std::min(span, 1.0) : span;
        if (!resolving) N.TIME_SOL = step_start + (reached + fraction) * RUN_CLOCK.DELT;
        INCALCVI(ss, reached, fraction, closing, partial, opening, resolving);
        if (resolving && span >= 1.0) {
            history = true;
            continue;
        }
        if (closing) {
            FINISHUP(ss);
            return;
        }
        if (!resolving) reached += span;
        if (halving) {
            N.SSCHATTER(ss) = LFALSE;
            history = true;
            continue;
        }
        resolving = true;
        SWITCHBR(ss, span);
        ITRIANG(ss);
    }
}

}  // namespace

void SOLVE_NETWORK() {
    const bool first_data = is_true(RUN_FLAGS.FIRST_STEP_DATA);
    if (first_data) build_norton_lists();
    if (DIMBLOCK.REQ[ND_TLINES_TOTAL] > 0) TLSTEP();
    for (int32_t ss = 1; ss <= DIMBLOCK.NSUBSYS; ++ss) {
        // A subsystem without nodes has nothing to solve.
        if (ss > NET.NBUSES.size() || NET.NBUSES(ss) <= 0) continue;
        if (is_true(RUN_FLAGS.FIRST_STEP_RUN))
            CHECK_SOLUTION_TABLES(ss);
        else
            check_solution_counts(ss);
        if (first_data) initial_branch_state(ss);
        solve_subsystem(ss, first_data);
    }
    TLPOST();
}
