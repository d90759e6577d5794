// What models and case code change in the network: branch values changed
// during a run (companion values, correcting currents, ideal and small
// values, the branch-change list, a variable resistor in a running
// circuit), the transformer history step on a hand-written table, and
// conductance blocks added to a subsystem's matrix.
#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>
#include <vector>

#include "engine/pointer_block.h"
#include "engine/run_loop.h"
#include "models/branch_changes.h"
#include "models/models.h"
#include "models/xfmr_tables.h"
#include "network/conductance_block.h"
#include "network/tests/solution_circuit.h"
#include "network/transformer_step.h"
#include "network/varbranch.h"

namespace {

class VarBranch : public SolutionTest {
protected:
    void SetUp() override {
        SolutionTest::SetUp();
        allocate({{ND_NODES, 6}, {ND_SUBSYS, 1}, {ND_BRANCHES, 4}, {ND_SPARSITY, 40}, {ND_STORF, 16}, {ND_STOR, 32}});
        CLEAR_STORAGE();
        RUN_CLOCK.DELT = 50e-6;
        NET.NBUSES(1) = 6;
        NET.NBRANCHES(1) = 4;
        NET.MXINV(1) = 7;
        // Branch 1 from node 5 to node 3, switched; branch 2 from node 4 to
        // ground, switched, the correction branch; branch 3 an ordinary one.
        for (const auto& [b, from, to, sw] : {std::tuple{1, 5, 3, LTRUE}, {2, 4, 0, LTRUE}, {3, 2, 1, LFALSE}}) {
            NET.IEF(b, 1) = from;
            NET.IET(b, 1) = to;
            NET.SWITCH(b, 1) = sw;
        }
        for (FArray2<double>* a : {&NET.GEQ, &NET.GEQD, &NET.GON, &NET.GOFF, &NET.RLG, &NET.RCG}) a->fill(0.75);
        first_step(true);
    }
    void first_step(bool on) { RUN_FLAGS.FIRST_STEP_DATA = as_logical(on); }
    // One call at the start of the model storage, as every step makes it.
    Captured set(int32_t type, double value, double emf = 0.0) {
        POINTER_BLOCK.NSTORF = 1;
        return capture([&] { VARBRANCH_SET(type, 1, 1, 2, value, emf); });
    }
    void rlc(int32_t has_r, int32_t has_l, int32_t has_c, double R, double L, double C) {
        POINTER_BLOCK.NSTORF = 1;
        VARBR_RLC(1, 1, has_r, has_l, has_c, R, L, C);
    }
    // Conductance, its step-start copy, start node, and R L C of branch 1.
    static std::tuple<double, double, int32_t, double, double, double> values() {
        const NetworkTables& N = NET;
        return {N.GEQ(1, 1), N.GEQD(1, 1), N.MXINV(1), N.BRANCH_R(1, 1), N.BRANCH_L(1, 1), N.BRANCH_C(1, 1)};
    }
    static std::vector<Logical> kinds() {
        return {NET.RESISTOR(1, 1), NET.INDUCTOR(1, 1), NET.CAPACITR(1, 1), NET.IDEALBR(1, 1), NET.IDEALSS(1)};
    }
};

const Logical T = LTRUE, F = LFALSE;

// The first step sets GEQ and GEQD and brings the start node down to the
// lower node; a later one a new value reaches GEQ only; an unchanged value
// changes only the EMF.
TEST_F(VarBranch, ResistanceTakesItsConductance) {
    EXPECT_EQ(set(0, 4.0, 3.0).out, "");
    EXPECT_EQ(values(), std::make_tuple(0.25, 0.25, 3, 4.0, 0.0, 0.0));
    EXPECT_EQ(kinds(), (std::vector<Logical>{T, F, F, F, F}));
    EXPECT_EQ(std::make_pair(NET.RLG(1, 1), NET.EBR(1, 1)), std::make_pair(0.0, 3.0));
    EXPECT_EQ(POINTER_BLOCK.NSTORF, 3);
    EXPECT_EQ(std::make_pair(STORAGE.STORF(1), STORAGE.STORF(2)), std::make_pair(4.0, 0.0));
    first_step(false);
    NET.MXINV(1) = 7;
    set(0, 5.0);
    EXPECT_EQ(values(), std::make_tuple(0.2, 0.25, 3, 5.0, 0.0, 0.0));
    NET.MXINV(1) = 7;
    NET.GEQ(1, 1) = 9.0;
    set(0, 5.0, 12.0);
    EXPECT_EQ(values(), std::make_tuple(9.0, 0.25, 7, 5.0, 0.0, 0.0));
    EXPECT_EQ(NET.EBR(1, 1), 12.0);
    EXPECT_EQ(POINTER_BLOCK.NSTORF, 3);
}

// Below the threshold the branch is ideal; above it again, ordinary.
TEST_F(VarBranch, ResistanceBelowTheThresholdIsIdeal) {
    EXPECT_EQ(set(0, 1e-9).out, "");
    EXPECT_EQ(kinds(), (std::vector<Logical>{T, F, F, T, T}));
    EXPECT_EQ(std::make_pair(NET.GEQ(1, 1), NET.BRANCH_R(1, 1)), std::make_pair(0.0, 1e-20));
    first_step(false);
    set(0, 2.0);
    EXPECT_FALSE(is_true(NET.IDEALBR(1, 1)));
    EXPECT_EQ(NET.GEQ(1, 1), 0.5);
}

// A zero inductance or capacitance becomes a small resistance, not an
// ideal branch.
TEST_F(VarBranch, ZeroInductanceBecomesASmallResistance) {
    const std::string small = " ***WARN*** Considering the branch as a small resistive branch.\n";
    EXPECT_EQ(set(1, 0.0).out, " ***WARN*** Inductance value is too small. \n" + small);
    EXPECT_EQ(kinds(), (std::vector<Logical>{T, F, F, F, F}));
    EXPECT_EQ(std::make_pair(NET.GEQ(1, 1), NET.BRANCH_R(1, 1)), std::make_pair(1e20, 1e-20));
    EXPECT_EQ(set(4, 0.0).out, " ***WARN*** Capacitance value is too small. \n" + small);
    EXPECT_EQ(set(7, 0.0).out, small);
}

// The trapezoidal companions dt/2L and 2C/dt (C in microfarads).
TEST_F(VarBranch, InductanceAndCapacitanceConductances) {
    set(1, 0.1);
    EXPECT_DOUBLE_EQ(NET.GEQ(1, 1), 50e-6 * 0.5 / 0.1);
    EXPECT_EQ(NET.G2L(1, 1), NET.GEQ(1, 1));
    EXPECT_EQ(NET.BRANCH_L(1, 1), 0.1);
    EXPECT_EQ(std::make_pair(NET.RLG(1, 1), NET.RCG(1, 1)), std::make_pair(1.0, 0.0));
    set(2, 10.0);
    EXPECT_DOUBLE_EQ(NET.GEQ(1, 1), 10.0 * 2e-6 / 50e-6);
    EXPECT_EQ(NET.G2C(1, 1), NET.GEQ(1, 1));
    EXPECT_DOUBLE_EQ(NET.BRANCH_C(1, 1), 10e-6);
    EXPECT_EQ(std::make_pair(NET.RLG(1, 1), NET.RCG(1, 1)), std::make_pair(0.0, 1.0));
}

// C from 10 to 12 microfarads at 100 V: I = 2e-6 * 100 / 50e-6 = 4 A in
// the step of the change, 0 in the next.
TEST_F(VarBranch, CapacitanceCorrectionFlowsInTheStepOfTheChange) {
    NET.VNODE(5, 1) = 130.0;
    NET.VNODE(3, 1) = 30.0;
    set(4, 10.0);
    EXPECT_EQ(NET.CCBR(2, 1), 0.0);
    first_step(false);
    set(4, 12.0);
    EXPECT_NEAR(NET.CCBR(2, 1), 4.0, 1e-12);
    EXPECT_NEAR(STORAGE.STORF(2), 4.0, 1e-12);
    set(4, 12.0);
    EXPECT_EQ(NET.CCBR(2, 1), 0.0);
}

// L from 0.1 to 0.2 with 10 A flowing: I = 10 (0.5 - 1) = -5 A, carried
// on; back to 0.1 with 4 A: 4 (2 - 1) + 0.2 (-5) / 0.1 = -6 A.
TEST_F(VarBranch, InductanceCorrectionIsCarriedOn) {
    set(3, 0.1);
    first_step(false);
    NET.CBR(1, 1) = 10.0;
    set(3, 0.2);
    EXPECT_DOUBLE_EQ(NET.CCBR(2, 1), -5.0);
    NET.CBR(1, 1) = 4.0;
    for (int k = 0; k < 2; ++k) {
        set(3, 0.2);
        EXPECT_DOUBLE_EQ(NET.CCBR(2, 1), -5.0);
    }
    set(3, 0.1);
    EXPECT_DOUBLE_EQ(NET.CCBR(2, 1), -6.0);
}

// Types 3 and 4 list their correction branch, which injects a current and
// carries no conductance.
TEST_F(VarBranch, InitRecordsTheCorrectionBranch) {
    EXPECT_EQ(capture([] { VARBRANCH_INIT(2, 1, 1, 2); }).out, "");
    EXPECT_EQ(BRCHANGE_LIST.count, 0);
    EXPECT_EQ((std::vector<Logical>{NET.SOURCE(1, 1), NET.RESISTOR(1, 1), NET.DEFRDBR(2, 1)}),
              (std::vector<Logical>{T, F, F}));
    EXPECT_EQ(capture([] { VARBRANCH_INIT(3, 1, 1, 2); }).out, "");
    ASSERT_EQ(BRCHANGE_LIST.count, 1);
    EXPECT_EQ((std::vector<int32_t>{BRCHANGE_LIST.kind[0], BRCHANGE_LIST.branch[0], BRCHANGE_LIST.zero[0],
                                    BRCHANGE_LIST.subsystem[0]}),
              (std::vector<int32_t>{9, 2, 0, 1}));
    EXPECT_TRUE(is_true(NET.DEFRDBR(2, 1)));
    for (FArray2<double>* a : {&NET.GEQ, &NET.GEQD, &NET.GON, &NET.GOFF, &NET.RLG, &NET.RCG})
        EXPECT_EQ((*a)(2, 1), 0.0);
}

// The matrix takes the conductance of an ordinary branch only from the map
// file: one warning at the set-up. A branch beyond the subsystem, or a full
// list of branch changes, stops the run.
TEST_F(VarBranch, InitWarningsAndStops) {
    CURRENT_IDS = {2, 5};
    Captured c = capture([] { VARBRANCH_INIT(0, 1, 3, 0); });
    EXPECT_FALSE(c.aborted);
    EXPECT_EQ(c.out,
              " ***WARN*** Branch 3 of subsystem 1 is not a switched branch (letter S):[           2 :           5 ]\n"
              " ***WARN*** changes of its value cannot reach the network solution.\n");
    EXPECT_STOPS(VARBRANCH_INIT(3, 1, 1, 9),
                 "Current Branch# (    9 ) > max Br#    4 in SS  1\n" + abort_frame("VARBRANCH_INIT"));
    SetUp();
    BRCHANGE_LIST.count = BRCHANGE_MAX - 1;
    ASSERT_FALSE(capture([] { VARBRANCH_INIT(3, 1, 1, 2); }).aborted);
    EXPECT_EQ(BRCHANGE_LIST.count, BRCHANGE_MAX);
    EXPECT_EQ(BRCHANGE_LIST.branch[BRCHANGE_MAX - 1], 2);
    EXPECT_STOPS(VARBRANCH_INIT(3, 1, 1, 2), " ***ERROR** The list of branch changes is full: it holds 10000 entries.\n"
                                            " ***ERROR** Fewer branches can be changed by models in one case.\n" +
                                                abort_frame("VARBRANCH_INIT"));
    EXPECT_EQ(BRCHANGE_LIST.count, BRCHANGE_MAX);
}

// The companion values of a series R-L-C branch. Only R changing, below
// the threshold: with L and C present the branch stays ordinary and loses
// its resistance.
TEST_F(VarBranch, SeriesRlcValues) {
    rlc(1, 1, 1, 2.0, 0.01, 100.0);
    const double xl = 2.0 * 0.01 / 50e-6, xc = 50e-6 * 500000.0 / 100.0, g = 1.0 / (2.0 + xl + xc);
    EXPECT_EQ(POINTER_BLOCK.NSTORF, 7);
    EXPECT_DOUBLE_EQ(NET.GEQ(1, 1), g);
    for (FArray2<double>* a : {&NET.GEQD, &NET.GON, &NET.GOFF}) EXPECT_EQ((*a)(1, 1), NET.GEQ(1, 1));
    for (const auto& [table, value] : std::vector<std::pair<FArray2<double>*, double>>{
             {&NET.RLG, g * xl}, {&NET.RCG, g * xc}, {&NET.RCL, g * xl * xc}, {&NET.RSC, (xc + 2.0) * g * xl},
             {&NET.RSL, (xl + 2.0) * g * xc}, {&NET.G2L, 1.0 / xl}, {&NET.G2C, 1.0 / xc}, {&NET.BRANCH_C, 100e-6}})
        EXPECT_DOUBLE_EQ((*table)(1, 1), value);
    EXPECT_EQ(kinds(), (std::vector<Logical>{T, T, T, F, F}));
    EXPECT_EQ(NET.MXINV(1), 3);
    first_step(false);
    rlc(1, 1, 1, 1e-9, 0.01, 100.0);
    EXPECT_FALSE(is_true(NET.IDEALBR(1, 1)));
    EXPECT_DOUBLE_EQ(NET.GEQ(1, 1), 1.0 / (xl + xc));
    EXPECT_EQ(NET.BRANCH_R(1, 1), 1e-9);
}

// A negative resistance on the first step leaves R out, keeping its value.
TEST_F(VarBranch, SeriesRlcNegativeResistanceOnTheFirstStep) {
    NET.BRANCH_R(1, 1) = 6.5;
    NET.RESISTOR(1, 1) = LTRUE;
    rlc(1, 1, 0, -1.0, 0.01, 0.0);
    EXPECT_FALSE(is_true(NET.RESISTOR(1, 1)));
    EXPECT_EQ(NET.BRANCH_R(1, 1), 6.5);
    EXPECT_DOUBLE_EQ(NET.GEQ(1, 1), 1.0 / (2.0 * 0.01 / 50e-6));
}

// A resistance alone below the threshold makes the branch ideal; grown
// again, the branch is an ordinary resistor; unchanged values leave the
// tables alone.
TEST_F(VarBranch, SeriesRlcIdealAndBack) {
    rlc(1, 0, 0, 1e-9, 0.0, 0.0);
    EXPECT_TRUE(is_true(NET.IDEALBR(1, 1)) && is_true(NET.IDEALSS(1)));
    EXPECT_EQ(NET.GEQ(1, 1), 0.0);
    first_step(false);
    rlc(1, 0, 0, 4.0, 0.0, 0.0);
    EXPECT_FALSE(is_true(NET.IDEALBR(1, 1)));
    EXPECT_EQ(NET.GEQ(1, 1), 0.25);
    NET.GEQ(1, 1) = 3.0;
    NET.MXINV(1) = 7;
    rlc(1, 0, 0, 4.0, 0.0, 0.0);
    EXPECT_EQ(std::make_pair(NET.GEQ(1, 1), NET.MXINV(1)), std::make_pair(3.0, 7));
    EXPECT_EQ(POINTER_BLOCK.NSTORF, 7);
}

// L from 0.1 to 0.2 with 10 A: -5 A taken from node 5 and given to node 3.
TEST_F(VarBranch, OlderFormInjectsItsCorrectionAtTheNodes) {
    POINTER_BLOCK.NEXC = 0;
    double current = 0.0;
    VARBRANCH_NB(1, 1, 1, current, 0.1, 2.0);
    EXPECT_TRUE(is_true(NET.NORMARK(5, 1)) && is_true(NET.NORMARK(3, 1)));
    EXPECT_TRUE(is_true(NET.SOURCE(1, 1)) && is_true(NET.INDUCTOR(1, 1)));
    EXPECT_DOUBLE_EQ(NET.GEQ(1, 1), 50e-6 * 0.5 / 0.1);
    EXPECT_EQ(std::make_tuple(NET.EBR(1, 1), POINTER_BLOCK.NEXC, STORAGE.STOR(1)), std::make_tuple(2.0, 10, 0.1));
    first_step(false);
    NET.CBR(1, 1) = 10.0;
    POINTER_BLOCK.NEXC = 0;
    VARBRANCH_NB(1, 1, 1, current, 0.2, 2.0);
    for (const auto& [got, want] : {std::pair{NET.CNOR(5, 1), 5.0}, {NET.CNOR(3, 1), -5.0}, {current, 5.0},
                                    {STORAGE.STOR(2), -5.0}})
        EXPECT_DOUBLE_EQ(got, want);
}

// A source of 100 V behind 1 ohm feeds L = 1 mH and a variable resistor
// to ground, stepped from 10 ohm to 4 ohm at 10 ms; the run ends on the
// new steady state 100 / (1 + 4) = 20 A.
TEST_F(VarBranch, VariableResistorReachesTheNewSteadyState) {
    read_map("varbranch_rl.map");
    ASSERT_EQ(NET.NBRANCHES(1), 3);
    double before = 0.0;
    HOOKED_CASE.on_dsd_begin = [] { VARBRANCH_INIT(0, 1, 3, 0); };
    HOOKED_CASE.on_dsd = [&before] {
        const double R = RUN_CLOCK.TIME < 10e-3 - 1e-9 ? 10.0 : 4.0;
        if (std::fabs(RUN_CLOCK.TIME - (10e-3 - 50e-6)) < 1e-9) before = NET.CBR(3, 1);
        VARBRANCH_SET(0, 1, 3, 0, R, 0.0);
    };
    Logical abort_flag = LFALSE;
    const Captured c = capture([&] {
        INITCOM();
        RUNLOOP(abort_flag, false);
    });
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_FALSE(contains(c.out, "WARN")) << c.out;
    // Over a hundred time constants on either side of the change.
    EXPECT_NEAR(before, 100.0 / 11.0, 1e-6);
    EXPECT_NEAR(NET.CBR(3, 1), 20.0, 1e-5);
    EXPECT_NEAR(NET.VNODE(2, 1), 80.0, 1e-4);
    EXPECT_EQ(NET.GEQ(3, 1), 0.25);
    EXPECT_EQ(array_overrun_count(), 0);
}

class TransformerStep : public SolutionTest {
protected:
    void SetUp() override {
        SolutionTest::SetUp();
        allocate({{ND_NODES, 5}, {ND_SUBSYS, 2}, {ND_BRANCHES, 1}, {ND_WINDINGS, 2}, {ND_TRAFOS, 2}});
        CLEAR_STORAGE();
        NET.NBUSES(1) = NET.NBUSES(2) = 5;
        for (int32_t k = 1; k <= 5; ++k) {
            NET.CHIST(k, 1) = 10.0 * k;
            NET.CHIST(k, 2) = -10.0 * k;
        }
        NET.VNODE(2, 1) = 100.0;
        NET.VNODE(3, 1) = 30.0;
        NET.VNODE(4, 1) = 10.0;
    }

    // Transformer 1 of subsystem 1, stored with its number negated:
    // winding 1 from node 2 to ground, winding 2 from node 3 to node 4;
    // currents 1.5 and -2, magnetising currents 0.5 and 1. Transformer 2
    // belongs to subsystem 2.
    void transformers() {
        XfmrTables& X = XFMR_TABLES;
        XFMR_COUNT.total = 2;
        X.XF_NSS(1) = X.XF_NSS(2) = 1;
        X.XF_SUBSYS(1) = -1;
        X.XF_SUBSYS(2) = 2;
        X.XF_NWDG(1) = 2;
        X.XF_NWDG(2) = 1;
        using Winding = std::tuple<int32_t, int32_t, int32_t, double, double, double>;
        for (const auto& [w, from, to, i, m, h] : {Winding{1, 2, 0, 1.5, 0.5, 7.0}, Winding{2, 3, 4, -2.0, 1.0, 8.0}}) {
            X.XF_NODE1(w, 1) = from;
            X.XF_NODE2(w, 1) = to;
            X.XF_CUR(w, 1) = i;
            X.XF_IMAG(w, 1) = m;
            X.XF_HNEW(w, 1) = h;
        }
        X.XF_GEQ(1, 1, 1) = 0.5;
        X.XF_GEQ(1, 2, 1) = X.XF_GEQ(2, 1, 1) = -0.25;
        X.XF_GEQ(2, 2, 1) = 0.125;
        for (int32_t k = 0; k < 4; ++k) X.XF_HIST(1 + k / 2, 1 + k % 2, 1) = 1.0 + k;
        X.XF_NODE1(1, 2) = 1;
        X.XF_NODE2(1, 2) = 2;
        X.XF_GEQ(1, 1, 2) = 1.0;
        X.XF_HNEW(1, 2) = 3.0;
    }
    static std::vector<double> injections(int32_t ss) {
        std::vector<double> v;
        for (int32_t k = 1; k <= 5; ++k) v.push_back(NET.CHIST(k, ss));
        return v;
    }
};

TEST_F(TransformerStep, WithoutTransformersOnlyTheInjectionsMove) {
    DSMDYN(1);
    EXPECT_EQ(injections(1), std::vector<double>(5, 0.0));
    EXPECT_EQ(injections(2), (std::vector<double>{-10.0, -20.0, -30.0, -40.0, -50.0}));  // another subsystem's
    for (int32_t k = 1; k <= 5; ++k) EXPECT_EQ(NET.CHISTD(k, 1), 10.0 * k);
}

TEST_F(TransformerStep, HistoryCurrentsAndTheirInjections) {
    transformers();
    DSMDYN(1);
    const XfmrTables& X = XFMR_TABLES;
    // v = (100, 30 - 10), i = (1.5, -2):
    // h1 = 0.5*100 + 1*1.5 - 0.25*20 + 2*(-2) = 42.5
    // h2 = -0.25*100 + 3*1.5 + 0.125*20 + 4*(-2) = -26
    EXPECT_EQ(std::make_pair(X.XF_HNEW(1, 1), X.XF_HNEW(2, 1)), std::make_pair(42.5, -26.0));
    EXPECT_EQ(std::make_pair(X.XF_HOLD(1, 1), X.XF_HOLD(2, 1)), std::make_pair(7.0, 8.0));
    // Winding 1 to ground injects h + m at node 2 only; winding 2 injects
    // h + m at its first node and -(h + m) at its second.
    EXPECT_EQ(injections(1), (std::vector<double>{0.0, 42.5 + 0.5, -26.0 + 1.0, 26.0 - 1.0, 0.0}));
    for (int32_t k = 1; k <= 5; ++k) EXPECT_EQ(NET.CHISTD(k, 1), 10.0 * k);
    // The transformer of subsystem 2 waits for its own subsystem.
    EXPECT_EQ(std::make_pair(X.XF_HNEW(1, 2), X.XF_HOLD(1, 2)), std::make_pair(3.0, 0.0));

    // The next history step moves them on.
    DSMDYN(1);
    EXPECT_EQ(std::make_pair(X.XF_HOLD(1, 1), NET.CHISTD(2, 1)), std::make_pair(42.5, 43.0));
    EXPECT_EQ(array_overrun_count(), 0);
}

TEST_F(TransformerStep, GroundedSecondNodeAndFirstNode) {
    transformers();
    XfmrTables& X = XFMR_TABLES;
    // Winding 1 now from ground to node 2: its voltage is -V(2) and it
    // injects -(h + m) at node 2.
    X.XF_NODE1(1, 1) = 0;
    X.XF_NODE2(1, 1) = 2;
    X.XF_NWDG(1) = 1;
    DSMDYN(1);
    const double h = 0.5 * -100.0 + 1.0 * 1.5;
    EXPECT_EQ(std::make_pair(X.XF_HNEW(1, 1), NET.CHIST(2, 1)), std::make_pair(h, -h - 0.5));
}

TEST_F(TransformerStep, MisalignedSubsystemNumbersStopTheRun) {
    transformers();
    XFMR_TABLES.XF_SUBSYS(2) = 1;  // a second transformer names subsystem 1
    EXPECT_STOPS(DSMDYN(1), " ERROR during solution of transformers!\n"
                            " Transformer Subsystem Numbers are mis-aligned!\n" +
                                abort_frame("DSMDYN"));
}

class ConductanceBlock : public SolutionTest {
protected:
    void SetUp() override {
        SolutionTest::SetUp();
        tables(8, 2, 50e-6);
        RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    }
    static double gm(int32_t i, int32_t j) { return SSDESC_RA(1)(i, j); }
    static bool pat(int32_t i, int32_t j) { return SSDESC_IA(1)(i, j) != 0; }
    // Every entry of GM and of its pattern, by columns.
    static std::vector<double> all_gm() {
        std::vector<double> v;
        for (int32_t j = 1; j <= NET.NBUSES(1); ++j)
            for (int32_t i = 1; i <= NET.NBUSES(1); ++i) v.push_back(gm(i, j));
        return v;
    }
    static std::vector<bool> all_pat() {
        std::vector<bool> v;
        for (int32_t j = 1; j <= NET.NBUSES(1); ++j)
            for (int32_t i = 1; i <= NET.NBUSES(1); ++i) v.push_back(pat(i, j));
        return v;
    }
};

// The self admittances on the diagonal of y, the couplings below it; a
// coupling enters GM as its negative. A terminal on ground: its coupling
// becomes one conductance to ground of the other terminal, so that node's
// total is its self admittance. Two terminals on one node: the coupling
// between them carries nothing; their conductances to ground both stay.
TEST_F(ConductanceBlock, EntriesOfABlock) {
    using Entries = std::vector<std::tuple<int32_t, int32_t, double>>;
    const struct {
        std::vector<int32_t> nodes;
        std::vector<double> y;
        Entries entries;  // the nonzero ones
    } cases[] = {
        {{4, 7}, {3.0, -2.0, 5.0}, {{4, 7, 2.0}, {7, 4, 2.0}, {4, 4, 1.0}, {7, 7, 3.0}}},
        // Couplings 1 (a-b), 2 (a-c), 4 (b-c); to ground 0.5, 0.25, 0.125.
        {{2, 5, 3},
         {3.5, -1.0, 5.25, -2.0, -4.0, 6.125},
         {{2, 5, 1.0}, {5, 2, 1.0}, {2, 3, 2.0}, {3, 2, 2.0}, {5, 3, 4.0}, {3, 5, 4.0}, {2, 2, 0.5}, {5, 5, 0.25},
          {3, 3, 0.125}}},
        {{4, 0}, {3.0, -2.0, 5.0}, {{4, 4, 3.0}}},
        {{6, 6}, {3.0, -2.0, 5.0}, {{6, 6, 1.0 + 3.0}}},
    };
    for (const auto& k : cases) {
        SetUp();
        const int32_t n = static_cast<int32_t>(k.nodes.size());
        ZARIK_ADD_GM(static_cast<int32_t>(k.y.size()), n, 1, k.nodes, k.y);
        std::vector<double> want(64, 0.0);
        for (const auto& [i, j, g] : k.entries) want[(i - 1) + 8 * (j - 1)] = g;
        EXPECT_EQ(all_gm(), want) << n << " terminals at " << k.nodes[0] << ", " << k.nodes[1];
        // Every pair of terminals off ground is in the pattern, and no other
        // pair off the diagonal.
        const auto on = [&](int32_t i) { return std::count(k.nodes.begin(), k.nodes.end(), i) > 0; };
        for (int32_t i = 1; i <= 8; ++i)
            for (int32_t j = 1; j <= 8; ++j) EXPECT_EQ(pat(i, j), i == j || (on(i) && on(j))) << i << "," << j;
    }
    // A second call adds on.
    SetUp();
    const std::array<int32_t, 2> nodes{4, 7};
    const std::array<double, 3> y{3.0, -2.0, 5.0};
    ZARIK_ADD_GM(3, 2, 1, nodes, y);
    ZARIK_ADD_GM(3, 2, 1, nodes, y);
    EXPECT_EQ(std::make_pair(gm(4, 7), gm(7, 7)), std::make_pair(4.0, 6.0));
}

TEST_F(ConductanceBlock, OnlyTheFirstStepOfARunFromData) {
    const std::array<int32_t, 2> nodes{4, 7};
    const std::array<double, 3> y{3.0, -2.0, 5.0};
    const std::vector<double> before = all_gm();
    RUN_FLAGS.FIRST_STEP_DATA = LFALSE;
    ZARIK_ADD_GM(3, 2, 1, nodes, y);
    EXPECT_EQ(all_gm(), before);
    // Nothing is even checked then.
    ZARIK_ADD_GM(5, 3, 1, nodes, y);
    RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    ZARIK_ADD_GM(0, 0, 1, {}, {});
    EXPECT_EQ(all_gm(), before);
}

// A count that does not fit the terminals, or a terminal outside the
// subsystem, stops the run.
TEST_F(ConductanceBlock, ChecksStopTheRun) {
    // The model's ids close the first line.
    const std::string ids = "[           3 :          11 ]\n";
    const std::string outside = " of the conductance block is not a node of subsystem 1" + ids +
                                " ***ERROR** Nodes must lie between 0 (ground) and 8.\n";
    const struct {
        int32_t count;
        std::vector<int32_t> nodes;
        std::string expected;
    } cases[] = {
        {5, {1, 2, 3}, " ***WARN*** dimension mismatch" + ids},
        {3, {4, 9}, " ***ERROR** Node 9" + outside},
        {3, {4, -1}, " ***ERROR** Node -1" + outside},
    };
    for (const auto& k : cases) {
        SetUp();
        CURRENT_IDS = {3, 11};
        const std::vector<double> y(6, 1.0);
        const Captured c = capture([&] { ZARIK_ADD_GM(k.count, static_cast<int32_t>(k.nodes.size()), 1, k.nodes, y); });
        EXPECT_TRUE(c.aborted);
        EXPECT_EQ(c.out, k.expected + abort_frame("ZARIK_ADD_GM"));
        EXPECT_EQ(array_overrun_count(), 0);
    }
}

// The block of three resistors and a resistor to ground gives GM exactly
// as the same resistors read as branches do.
TEST_F(ConductanceBlock, BlockEqualsTheBranchesItStandsFor) {
    read_map("gm_block_branches.map");
    ASSERT_EQ(NET.NBUSES(1), 4);
    const std::vector<double> want_gm = all_gm();
    const std::vector<bool> want_pat = all_pat();
    read_map("gm_block_rest.map");
    ASSERT_EQ(NET.NBUSES(1), 4);
    RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    // 1-2 of 2 ohms, 2-3 of 4 ohms, 3 to ground 5 ohms.
    const std::array<int32_t, 3> three{1, 2, 3};
    const std::array<double, 6> y3{0.5, -0.5, 0.75, 0.0, -0.25, 0.45};
    ZARIK_ADD_GM(6, 3, 1, three, y3);
    // 2 to a grounded terminal, 4 ohms.
    const std::array<int32_t, 2> two{2, 0};
    const std::array<double, 3> y2{0.25, -0.25, 0.25};
    ZARIK_ADD_GM(3, 2, 1, two, y2);
    const std::vector<double> got = all_gm();
    const std::vector<bool> pattern = all_pat();
    for (size_t k = 0; k < want_gm.size(); ++k) {
        EXPECT_NEAR(got[k], want_gm[k], 1e-15) << k;
        // The block marks every pair of its terminals, its zero coupling
        // between nodes 1 and 3 too (at 2 and 8 by columns).
        EXPECT_EQ(pattern[k], want_pat[k] || k == 2 || k == 8) << k;
    }
}

}  // namespace
