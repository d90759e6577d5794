// What models change in the network: branch values during a run (with
// their corrections, the branch-change list, a variable resistor in a
// running circuit), the transformer history step on a hand-written table,
// and conductance blocks added to a subsystem's matrix.
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
    // L from 0.1 to 0.2 at 10 A, after the first step: a correction of -5 A.
    void doubled_at_ten_amperes() {
        set(3, 0.1);
        first_step(false);
        NET.CBR(1, 1) = 10.0;
        set(3, 0.2);
    }
    // One call at the start of the model storage, as every step makes it.
    Captured set(int32_t type, double value, double emf = 0.0) {
        POINTER_BLOCK.NSTORF = 1;
        return capture([&] { VARBRANCH_SET(type, 1, 1, 2, value, emf); });
    }
    void rlc(int32_t has_r, int32_t has_l, int32_t has_c, double R, double L, double C) {
        POINTER_BLOCK.NSTORF = 1;
        VARBR_RLC(1, 1, has_r, has_l, has_c, R, L, C);
    }
    // Conductance, its step-start copy and the start node.
    static std::tuple<double, double, int32_t> values() { return {NET.GEQ(1, 1), NET.GEQD(1, 1), NET.MXINV(1)}; }
    static std::vector<Logical> kinds() {
        return {NET.RESISTOR(1, 1), NET.INDUCTOR(1, 1), NET.CAPACITR(1, 1), NET.IDEALBR(1, 1), NET.IDEALSS(1)};
    }
};

const Logical T = LTRUE, F = LFALSE;

// The first step sets GEQ and GEQD; later only GEQ, and an unchanged value only the EMF.
TEST_F(VarBranch, ResistanceTakesItsConductance) {
    EXPECT_EQ(set(0, 4.0, 3.0).out, "");
    EXPECT_EQ(values(), std::make_tuple(0.25, 0.25, 3));
    EXPECT_EQ(kinds(), (std::vector<Logical>{T, F, F, F, F}));
    EXPECT_EQ(std::make_tuple(NET.EBR(1, 1), POINTER_BLOCK.NSTORF, STORAGE.STORF(1)), std::make_tuple(3.0, 3, 4.0));
    first_step(false);
    NET.MXINV(1) = 7;
    set(0, 5.0);
    EXPECT_EQ(values(), std::make_tuple(0.2, 0.25, 3));
    NET.GEQ(1, 1) = 9.0;
    set(0, 5.0, 12.0);
    EXPECT_EQ(std::make_pair(NET.GEQ(1, 1), NET.EBR(1, 1)), std::make_pair(9.0, 12.0));
    set(0, 1e-9);
    EXPECT_EQ(kinds(), (std::vector<Logical>{T, F, F, T, T}));
    EXPECT_EQ(std::make_pair(NET.GEQ(1, 1), NET.BRANCH_R(1, 1)), std::make_pair(0.0, 1e-20));
}

// A zero L or C becomes a small resistance, not an ideal branch.
TEST_F(VarBranch, ZeroInductanceOrCapacitance) {
    const std::string small = " ***WARN*** Considering the branch as a small resistive branch.\n";
    EXPECT_EQ(set(1, 0.0).out, " ***WARN*** Inductance value is too small. \n" + small);
    EXPECT_EQ(kinds(), (std::vector<Logical>{T, F, F, F, F}));
    EXPECT_EQ(std::make_pair(NET.GEQ(1, 1), NET.BRANCH_R(1, 1)), std::make_pair(1e20, 1e-20));
    EXPECT_EQ(set(4, 0.0).out, " ***WARN*** Capacitance value is too small. \n" + small);
}

// C from 10 to 12 uF at 100 V: 2e-6 * 100 / 50e-6 = 4 A in the step of the change only.
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

// L from 0.1 to 0.2 at 10 A: 10 (0.5 - 1) = -5 A, carried on; back at 4 A: 4 (2 - 1) + 0.2 (-5) / 0.1 = -6 A.
TEST_F(VarBranch, InductanceCorrectionIsCarriedOn) {
    doubled_at_ten_amperes();
    EXPECT_DOUBLE_EQ(NET.CCBR(2, 1), -5.0);
    NET.CBR(1, 1) = 4.0;
    set(3, 0.2);
    EXPECT_DOUBLE_EQ(NET.CCBR(2, 1), -5.0);
    set(3, 0.1);
    EXPECT_DOUBLE_EQ(NET.CCBR(2, 1), -6.0);
}

// A value as before keeps its EMF and current; a correction branch outside
// the tables takes nothing and is counted, the EMF still written.
TEST_F(VarBranch, ValueAsBeforeKeepsEmfAndCurrent) {
    doubled_at_ten_amperes();
    ASSERT_DOUBLE_EQ(NET.CCBR(2, 1), -5.0);
    reset_array_overrun_count();
    set(3, 0.2, 7.0);
    EXPECT_EQ(NET.EBR(1, 1), 7.0);
    EXPECT_DOUBLE_EQ(NET.CCBR(2, 1), -5.0);
    EXPECT_EQ(POINTER_BLOCK.NSTORF, 3);
    EXPECT_EQ(array_overrun_count(), 0);
    POINTER_BLOCK.NSTORF = 1;
    VARBRANCH_SET(3, 1, 1, 9, 0.2, 8.0);
    EXPECT_EQ(NET.EBR(1, 1), 8.0);
    EXPECT_EQ(STORAGE.STORF(2), -5.0);
    EXPECT_EQ(POINTER_BLOCK.NSTORF, 3);
    EXPECT_EQ(array_overrun_count(), 1);
    // A resistance as before has no kept current.
    set(0, 0.2, 9.0);
    EXPECT_EQ(NET.EBR(1, 1), 9.0);
    EXPECT_EQ(STORAGE.STORF(2), 0.0);
}

// Changes of a branch not switched cannot reach the solution: one warning; bad branch or full list stop.
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
    const int32_t last = BRCHANGE_MAX;
    BranchChangeList& list = BRCHANGE_LIST;
    EXPECT_EQ(list.count, BRCHANGE_MAX);
    EXPECT_EQ((std::vector<int32_t>{list.icol(1, last), list.icol(2, last), list.icol(3, last), list.icol(8, last)}),
              (std::vector<int32_t>{9, 2, 0, 1}));
    EXPECT_TRUE(is_true(NET.DEFRDBR(2, 1)));
    EXPECT_STOPS(VARBRANCH_INIT(3, 1, 1, 2), " ***ERROR** The list of branch changes is full: it holds 10000 entries.\n"
                                            " ***ERROR** Fewer branches can be changed by models in one case.\n" +
                                                abort_frame("VARBRANCH_INIT"));
    EXPECT_EQ(BRCHANGE_LIST.count, BRCHANGE_MAX);
}

// A tiny R beside L and C leaves the branch ordinary; alone it makes it ideal, and a larger R ordinary again.
TEST_F(VarBranch, SeriesRlc) {
    rlc(1, 1, 1, 2.0, 0.01, 100.0);
    const double xl = 2.0 * 0.01 / 50e-6, xc = 50e-6 * 500000.0 / 100.0;
    EXPECT_EQ(POINTER_BLOCK.NSTORF, 7);
    EXPECT_DOUBLE_EQ(NET.GEQ(1, 1), 1.0 / (2.0 + xl + xc));
    EXPECT_EQ(kinds(), (std::vector<Logical>{T, T, T, F, F}));
    first_step(false);
    rlc(1, 1, 1, 1e-9, 0.01, 100.0);
    EXPECT_FALSE(is_true(NET.IDEALBR(1, 1)));
    EXPECT_DOUBLE_EQ(NET.GEQ(1, 1), 1.0 / (xl + xc));
    SetUp();
    rlc(1, 0, 0, 1e-9, 0.0, 0.0);
    EXPECT_EQ(kinds(), (std::vector<Logical>{T, F, F, T, T}));
    first_step(false);
    rlc(1, 0, 0, 4.0, 0.0, 0.0);
    EXPECT_EQ(std::make_pair(NET.IDEALBR(1, 1), NET.GEQ(1, 1)), std::make_pair(LFALSE, 0.25));
}

// L from 0.1 to 0.2 at 10 A: -5 A taken from node 5 and given to node 3.
TEST_F(VarBranch, OlderFormInjectsItsCorrectionAtTheNodes) {
    POINTER_BLOCK.NEXC = 0;
    double current = 0.0;
    VARBRANCH_NB(1, 1, 1, current, 0.1, 2.0);
    EXPECT_TRUE(is_true(NET.NORMARK(5, 1)) && is_true(NET.NORMARK(3, 1)));
    EXPECT_EQ(std::make_tuple(NET.EBR(1, 1), POINTER_BLOCK.NEXC, STORAGE.STOR(1)), std::make_tuple(2.0, 10, 0.1));
    first_step(false);
    NET.CBR(1, 1) = 10.0;
    POINTER_BLOCK.NEXC = 0;
    VARBRANCH_NB(1, 1, 1, current, 0.2, 2.0);
    for (const auto& [got, want] : {std::pair{NET.CNOR(5, 1), 5.0}, {NET.CNOR(3, 1), -5.0}, {current, 5.0},
                                    {STORAGE.STOR(2), -5.0}})
        EXPECT_DOUBLE_EQ(got, want);
}

// 100 V behind 1 ohm into 1 mH and R to ground, R from 10 to 4 ohm at 10 ms: 100 / 11 A, then 20 A.
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
    EXPECT_NEAR(before, 100.0 / 11.0, 1e-6);
    EXPECT_NEAR(NET.CBR(3, 1), 20.0, 1e-5);
    EXPECT_NEAR(NET.VNODE(2, 1), 80.0, 1e-4);
    EXPECT_EQ(array_overrun_count(), 0);
}

// Transformer 1 of subsystem 1 (its number negated): winding 1 from node 2
// to ground, winding 2 from node 3 to node 4, currents 1.5 and -2,
// magnetising currents 0.5 and 1. Transformer 2 belongs to subsystem 2.
class TransformerStep : public SolutionTest {
protected:
    void SetUp() override {
        SolutionTest::SetUp();
        allocate({{ND_NODES, 5}, {ND_SUBSYS, 2}, {ND_BRANCHES, 1}, {ND_WINDINGS, 2}, {ND_TRAFOS, 2}});
        CLEAR_STORAGE();
        NET.NBUSES(1) = NET.NBUSES(2) = 5;
        for (int32_t k = 1; k <= 5; ++k) NET.CHIST(k, 1) = 10.0 * k;
        NET.VNODE(2, 1) = 100.0;
        NET.VNODE(3, 1) = 30.0;
        NET.VNODE(4, 1) = 10.0;
        XfmrTables& X = XFMR_TABLES;
        X.XF_COUNT = 2;
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
    static std::vector<double> injections() {
        std::vector<double> v;
        for (int32_t k = 1; k <= 5; ++k) v.push_back(NET.CHIST(k, 1));
        return v;
    }
};

// h1 = 0.5*100 + 1*1.5 - 0.25*20 + 2*(-2) = 42.5, h2 = -0.25*100 + 3*1.5 + 0.125*20 + 4*(-2) = -26.
TEST_F(TransformerStep, HistoryCurrentsAndTheirInjections) {
    DSMDYN(1);
    const XfmrTables& X = XFMR_TABLES;
    EXPECT_EQ(std::make_pair(X.XF_HNEW(1, 1), X.XF_HNEW(2, 1)), std::make_pair(42.5, -26.0));
    EXPECT_EQ(std::make_pair(X.XF_HOLD(1, 1), X.XF_HOLD(2, 1)), std::make_pair(7.0, 8.0));
    // h + m at a winding's first node, -(h + m) at its second.
    EXPECT_EQ(injections(), (std::vector<double>{0.0, 42.5 + 0.5, -26.0 + 1.0, 26.0 - 1.0, 0.0}));
    for (int32_t k = 1; k <= 5; ++k) EXPECT_EQ(NET.CHISTD(k, 1), 10.0 * k);
    EXPECT_EQ(std::make_pair(X.XF_HNEW(1, 2), X.XF_HOLD(1, 2)), std::make_pair(3.0, 0.0));  // another subsystem's
    DSMDYN(1);
    EXPECT_EQ(std::make_pair(X.XF_HOLD(1, 1), NET.CHISTD(2, 1)), std::make_pair(42.5, 43.0));
    EXPECT_EQ(array_overrun_count(), 0);
}

// A winding from ground to node 2 sees -V(2) and injects -(h + m) there.
TEST_F(TransformerStep, GroundedFirstNode) {
    XfmrTables& X = XFMR_TABLES;
    X.XF_NODE1(1, 1) = 0;
    X.XF_NODE2(1, 1) = 2;
    X.XF_NWDG(1) = 1;
    DSMDYN(1);
    const double h = 0.5 * -100.0 + 1.0 * 1.5;
    EXPECT_EQ(std::make_pair(X.XF_HNEW(1, 1), NET.CHIST(2, 1)), std::make_pair(h, -h - 0.5));
}

TEST_F(TransformerStep, MisalignedSubsystemNumbersStopTheRun) {
    XFMR_TABLES.XF_SUBSYS(2) = 1;
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
    // Every entry of GM, or of its pattern, by columns.
    template <typename T>
    static std::vector<T> all(bool pattern) {
        std::vector<T> v;
        for (int32_t j = 1; j <= NET.NBUSES(1); ++j)
            for (int32_t i = 1; i <= NET.NBUSES(1); ++i)
                v.push_back(pattern ? T(SSDESC_IA(1)(i, j) != 0) : T(SSDESC_RA(1)(i, j)));
        return v;
    }
};

// Two terminals on one node: their coupling carries nothing, both conductances to ground stay.
TEST_F(ConductanceBlock, TwoTerminalsOnOneNode) {
    ZARIK_ADD_GM(3, 2, 1, std::array<int32_t, 2>{6, 6}, std::array<double, 3>{3.0, -2.0, 5.0});
    std::vector<double> want(64, 0.0);
    want[5 + 8 * 5] = 1.0 + 3.0;
    EXPECT_EQ(all<double>(false), want);
}

// A count that does not fit the terminals, or a terminal outside the subsystem, stops the run.
TEST_F(ConductanceBlock, ChecksStopTheRun) {
    const std::string ids = "[           3 :          11 ]\n";
    const struct {
        int32_t count;
        std::vector<int32_t> nodes;
        std::string expected;
    } cases[] = {
        {5, {1, 2, 3}, " ***WARN*** dimension mismatch" + ids},
        {3, {4, 9},
         " ***ERROR** Node 9 of the conductance block is not a node of subsystem 1" + ids +
             " ***ERROR** Nodes must lie between 0 (ground) and 8.\n"},
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

// Blocks for 1-2 of 2 ohm, 2-3 of 4 ohm, 3 and 2 to ground of 5 and 4 ohm give GM as the branches do.
TEST_F(ConductanceBlock, BlockEqualsTheBranchesItStandsFor) {
    read_map("gm_block_branches.map");
    const std::vector<double> want_gm = all<double>(false);
    const std::vector<bool> want_pat = all<bool>(true);
    read_map("gm_block_rest.map");
    ASSERT_EQ(NET.NBUSES(1), 4);
    RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    ZARIK_ADD_GM(6, 3, 1, std::array<int32_t, 3>{1, 2, 3}, std::array<double, 6>{0.5, -0.5, 0.75, 0.0, -0.25, 0.45});
    ZARIK_ADD_GM(3, 2, 1, std::array<int32_t, 2>{2, 0}, std::array<double, 3>{0.25, -0.25, 0.25});
    const std::vector<double> got = all<double>(false);
    const std::vector<bool> pattern = all<bool>(true);
    ASSERT_EQ(got.size(), want_gm.size());
    for (size_t k = 0; k < want_gm.size(); ++k) {
        EXPECT_NEAR(got[k], want_gm[k], 1e-15) << k;
        // The zero coupling of nodes 1 and 3 is marked too (2 and 8 by columns).
        EXPECT_EQ(pattern[k], want_pat[k] || k == 2 || k == 8) << k;
    }
}

}  // namespace
