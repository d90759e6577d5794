// Circuits for the network-solution tests: either the tables filled
// directly (the branch entries as the branch reader leaves them), or a
// fixture map file read through READDATA; and the steps of a run.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "engine/bookends.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "engine/time_step.h"
#include "network/dimensions.h"
#include "network/map_reader.h"
#include "network/network_tables.h"
#include "network/parameters.h"
#include "network/solve_network.h"
#include "network/tests/hooked_case.h"
#include "network/tests/reader_test_support.h"

// One series R-L-C-E branch; absent parts are 0 (C in farads).
struct Element {
    int32_t from = 0, to = 0;
    double R = 0.0, L = 0.0, C = 0.0, E = 0.0;
};

class SolutionTest : public ReaderTest {
public:
    // The stand-in case runs no model of an earlier test.
    void SetUp() override {
        HOOKED_CASE.reset();
        ReaderTest::SetUp();
    }
    void TearDown() override {
        HOOKED_CASE.reset();
        ReaderTest::TearDown();
    }

    // Storage made from the given requirements, on a fresh engine.
    void allocate(std::initializer_list<std::pair<int, int32_t>> req) {
        reset_all_engine_state();
        for (const auto& [k, v] : req) DIMBLOCK.REQ[k] = v;
        DIMBLOCK.NSUBSYS = DIMBLOCK.REQ[ND_SUBSYS];
        int32_t status = -1;
        ALLOC_STORAGE(status);
        ASSERT_EQ(status, 0);
    }
    // The matrices of subsystem ss, of n nodes.
    static void matrices(int32_t ss, int32_t n) {
        int32_t status = -1;
        ALLOC_SSLIST(ss, status);
        SOLUTION_ARRAYS.SSDIM(ss) = n;
        ALLOCATION(ss, status);
        ASSERT_EQ(status, 0);
        CLEAR_STORAGE();
    }

    // Storage for one subsystem of n nodes and nb branches.
    void tables(int32_t n, int32_t nb, double dt, int32_t sparsity = 0) {
        const int32_t entries = sparsity > 0 ? sparsity : 4 * n + 10;
        allocate({{ND_NODES, n}, {ND_SUBSYS, 1}, {ND_BRANCHES, nb}, {ND_SPARSITY, entries}});
        matrices(1, n);
        RUN_CLOCK.DELT = dt;
        NET.NBUSES(1) = n;
    }

    // A branch entered as the branch reader enters it, at rest.
    int32_t branch(const Element& e, bool sw = false) {
        NetworkTables& N = NET;
        const int32_t ss = 1, b = ++N.NBRANCHES(ss);
        N.IEF(b, ss) = e.from;
        N.IET(b, ss) = e.to;
        N.RESISTOR(b, ss) = as_logical(e.R != 0.0);
        N.INDUCTOR(b, ss) = as_logical(e.L != 0.0);
        N.CAPACITR(b, ss) = as_logical(e.C != 0.0);
        N.SOURCE(b, ss) = as_logical(e.E != 0.0);
        N.SWITCH(b, ss) = as_logical(sw);
        N.BRANCH_R(b, ss) = e.R;
        N.BRANCH_L(b, ss) = e.L;
        N.BRANCH_C(b, ss) = e.C;
        const double dt = RUN_CLOCK.DELT;
        const double xl = e.L != 0.0 ? 2.0 * e.L / dt : 0.0;
        const double xc = e.C != 0.0 ? dt / (2.0 * e.C) : 0.0;
        N.G2L(b, ss) = xl != 0.0 ? 1.0 / xl : 0.0;
        N.G2C(b, ss) = xc != 0.0 ? 1.0 / xc : 0.0;
        const double z = e.R + xl + xc, g = 1.0 / z;
        N.GEQ(b, ss) = N.GEQD(b, ss) = N.GON(b, ss) = N.GOFF(b, ss) = g;
        N.RLG(b, ss) = g * xl;
        N.RCG(b, ss) = g * xc;
        N.RCL(b, ss) = g * xl * xc;
        N.RSC(b, ss) = (e.R + xc) * g * xl;
        N.RSL(b, ss) = (e.R + xl) * xc * g;
        N.EBR(b, ss) = N.EBRD(b, ss) = N.EON(b, ss) = N.EOFF(b, ss) = e.E;
        N.TSWITCH(b, ss) = 1.5;
        if (sw) {
            N.SWLIST(++N.NSWITCH(ss), ss) = b;
        } else {
            const SsView<double> gm = SSDESC_RA(ss);
            if (e.from == 0 || e.to == 0) {
                const int32_t k = e.from + e.to;
                gm(k, k) += g;
            } else {
                gm(e.to, e.from) += g;
                gm(e.from, e.to) = gm(e.to, e.from);
            }
        }
        if (e.from != 0 && e.to != 0) {
            const SsView<int8_t> pat = SSDESC_IA(ss);
            pat(e.from, e.to) = pat(e.to, e.from) = -1;
        }
        return b;
    }

    // Reads a fixture map file as a run started from data, on a fresh engine.
    void read_map(const std::string& name) {
        reset_all_engine_state();
        RUN_SEQ.START_MODE = "DATA";
        RUN_SEQ.IRUN = RUN_SEQ.NRUNS = 1;
        RUN_SEQ.FIRST_RUN = LTRUE;
        RUN_SETUP.start_file.assign(name);
        INPUT.INPUT_UNIT = INPUT_UNIT_NONE;
        const Captured c = capture([] { READDATA(); });
        ASSERT_FALSE(c.aborted) << c.out;
        map_run_ = true;
    }

    void options(bool interpolate, bool remove_chatter) {
        NET.SSINTERP(1) = as_logical(interpolate);
        NET.SSRMCHAT(1) = as_logical(remove_chatter);
    }

    // The start of a run, as the run initialisation and the run loop leave it.
    void start() {
        if (map_run_) {
            const Captured c = capture([] { INITCOM(); });
            ASSERT_FALSE(c.aborted) << c.out;
        }
        for (int32_t s = 1; s <= DIMBLOCK.NSUBSYS; ++s) {
            NET.MXINV(s) = 1;
            NET.NTRIANG(s) = 0;
        }
        RUN_CLOCK.NSTEP = 0;
        RUN_FLAGS.FIRST_STEP_DATA = RUN_FLAGS.FIRST_STEP_RUN = LTRUE;
        RUN_FLAGS.FINAL_STEP = LFALSE;
        largest_ = 0.0;
    }

    // One step; false when the run stopped. Each step's largest branch
    // current joins the run's largest.
    bool step() {
        RUN_CLOCK.TIME = RUN_CLOCK.NSTEP * RUN_CLOCK.DELT;
        RUN_CLOCK.PREV_TIME = (RUN_CLOCK.NSTEP - 1) * RUN_CLOCK.DELT;
        bool ok = true;
        try {
            if (map_run_) {
                TIMESTEP();
            } else {
                if (is_true(RUN_FLAGS.FIRST_STEP_DATA)) SSINIT();
                SOLVE_NETWORK();
            }
        } catch (const StandaloneAbort&) {
            ok = false;
        }
        ++RUN_CLOCK.NSTEP;
        RUN_FLAGS.FIRST_STEP_DATA = RUN_FLAGS.FIRST_STEP_RUN = LFALSE;
        for (int32_t b = 1; ok && b <= NET.NBRANCHES(1); ++b) largest_ = std::max(largest_, std::fabs(NET.CBR(b, 1)));
        return ok;
    }

    double V(int32_t k) const { return k == 0 ? 0.0 : NET.VNODE(k, 1); }
    double I(int32_t b) const { return NET.CBR(b, 1); }

    // Largest current imbalance at any node of subsystem 1, relative to
    // the largest branch current of the run so far.
    double kcl_error() const {
        const int32_t n = NET.NBUSES(1), nb = NET.NBRANCHES(1);
        std::vector<double> sum(static_cast<size_t>(n) + 1, 0.0);
        for (int32_t b = 1; b <= nb; ++b) {
            const double i = NET.CBR(b, 1);
            if (NET.IEF(b, 1)) sum[NET.IEF(b, 1)] -= i;
            if (NET.IET(b, 1)) sum[NET.IET(b, 1)] += i;
        }
        double worst = 0.0;
        for (int32_t k = 1; k <= n; ++k) worst = std::max(worst, std::fabs(sum[k]));
        return largest_ > 0.0 ? worst / largest_ : worst;
    }

    double largest_ = 0.0;
    bool map_run_ = false;
};

// An ideal branch entered as the branch reader enters it: letter A (no
// EMF), or letter E alone (an ideal source); no conductance, nothing in GM.
inline int32_t ideal_branch(int32_t from, int32_t to, double E = 0.0) {
    NetworkTables& N = NET;
    const int32_t ss = 1, b = ++N.NBRANCHES(ss);
    N.IEF(b, ss) = from;
    N.IET(b, ss) = to;
    N.IDEALBR(b, ss) = N.IDEALSS(ss) = LTRUE;
    N.SOURCE(b, ss) = as_logical(E != 0.0);
    N.EBR(b, ss) = N.EBRD(b, ss) = N.EON(b, ss) = N.EOFF(b, ss) = E;
    N.TSWITCH(b, ss) = 1.5;
    if (from != 0 && to != 0) SSDESC_IA(ss)(from, to) = SSDESC_IA(ss)(to, from) = -1;
    return b;
}
