// Branch values changed by models during a run: the companion values and
// correcting currents of every form, the ideal-branch and small-value
// cases, the branch-change list with its limit, and a variable resistor
// stepped in a running circuit reaching its new steady state.
#include <cmath>

#include "engine/pointer_block.h"
#include "engine/run_loop.h"
#include "models/branch_changes.h"
#include "network/tests/hooked_case.h"
#include "network/tests/solution_circuit.h"
#include "network/varbranch.h"

namespace {

class VarBranch : public SolutionTest {
protected:
    void SetUp() override {
        SolutionTest::SetUp();
        HOOKED_CASE.reset();
        reset_engine();
        DIMBLOCK.REQ[ND_NODES] = 6;
        DIMBLOCK.REQ[ND_SUBSYS] = 1;
        DIMBLOCK.REQ[ND_BRANCHES] = 4;
        DIMBLOCK.REQ[ND_SPARSITY] = 40;
        DIMBLOCK.REQ[ND_STORF] = 16;
        DIMBLOCK.REQ[ND_STOR] = 32;
        DIMBLOCK.NSUBSYS = 1;
        int32_t status = -1;
        ALLOC_STORAGE(status);
        ASSERT_EQ(status, 0);
        CLEAR_STORAGE();
        RUN_CLOCK.DELT = 50e-6;
        NET.NBUSES(1) = 6;
        NET.NBRANCHES(1) = 4;
        NET.MXINV(1) = 7;
        // Branch 1 from node 5 to node 3, switched; branch 2 from node 4 to
        // ground, the correction branch; branch 3 an ordinary branch.
        NET.IEF(1, 1) = 5;
        NET.IET(1, 1) = 3;
        NET.SWITCH(1, 1) = LTRUE;
        NET.IEF(2, 1) = 4;
        NET.SWITCH(2, 1) = LTRUE;
        NET.IEF(3, 1) = 2;
        NET.IET(3, 1) = 1;
        for (FArray2<double>* a : {&NET.GEQ, &NET.GEQD, &NET.GON, &NET.GOFF, &NET.RLG, &NET.RCG}) a->fill(0.75);
        first_step(true);
    }
    void TearDown() override {
        HOOKED_CASE.reset();
        SolutionTest::TearDown();
    }
    void first_step(bool on) { RUN_FLAGS.FIRST_STEP_DATA = as_logical(on); }
    // One call at the start of the model storage, as every step makes it.
    Captured set(int32_t type, double value, double emf = 0.0) {
        POINTER_BLOCK.NSTORF = 1;
        return capture([&] { VARBRANCH_SET(type, 1, 1, 2, value, emf); });
    }
};

const std::string kInductanceWarning =
    " ***WARN*** Inductance value is too small. \n"
    " ***WARN*** Considering the branch as a small resistive branch.\n";

TEST_F(VarBranch, ResistanceTakesItsConductance) {
    EXPECT_EQ(set(0, 4.0, 3.0).out, "");
    EXPECT_EQ(NET.GEQ(1, 1), 0.25);
    EXPECT_EQ(NET.GEQD(1, 1), 0.25);
    EXPECT_EQ(NET.BRANCH_R(1, 1), 4.0);
    EXPECT_TRUE(is_true(NET.RESISTOR(1, 1)));
    EXPECT_EQ(NET.RLG(1, 1), 0.0);
    EXPECT_EQ(NET.EBR(1, 1), 3.0);
    EXPECT_EQ(NET.MXINV(1), 3) << "the start node drops to the lower node";
    EXPECT_EQ(POINTER_BLOCK.NSTORF, 3);
    EXPECT_EQ(STORAGE.STORF(1), 4.0);
    EXPECT_EQ(STORAGE.STORF(2), 0.0);

    // A later step: a new value reaches GEQ only.
    first_step(false);
    NET.MXINV(1) = 7;
    set(0, 5.0);
    EXPECT_EQ(NET.GEQ(1, 1), 0.2);
    EXPECT_EQ(NET.GEQD(1, 1), 0.25);
    EXPECT_EQ(NET.MXINV(1), 3);
}

TEST_F(VarBranch, UnchangedValueChangesOnlyTheEmf) {
    set(0, 5.0);
    first_step(false);
    NET.MXINV(1) = 7;
    NET.GEQ(1, 1) = 9.0;
    set(0, 5.0, 12.0);
    EXPECT_EQ(NET.GEQ(1, 1), 9.0);
    EXPECT_EQ(NET.MXINV(1), 7);
    EXPECT_EQ(NET.EBR(1, 1), 12.0);
    EXPECT_EQ(POINTER_BLOCK.NSTORF, 3);
}

TEST_F(VarBranch, ResistanceBelowTheThresholdIsIdeal) {
    const Captured c = set(0, 1e-9);
    EXPECT_EQ(c.out, "");
    EXPECT_TRUE(is_true(NET.IDEALBR(1, 1)));
    EXPECT_TRUE(is_true(NET.IDEALSS(1)));
    EXPECT_EQ(NET.GEQ(1, 1), 0.0);
    EXPECT_EQ(NET.BRANCH_R(1, 1), 1e-20);
    // Above it again, an ordinary branch.
    first_step(false);
    set(0, 2.0);
    EXPECT_FALSE(is_true(NET.IDEALBR(1, 1)));
    EXPECT_EQ(NET.GEQ(1, 1), 0.5);
}

TEST_F(VarBranch, ZeroInductanceBecomesASmallResistance) {
    const Captured c = set(1, 0.0);
    EXPECT_EQ(c.out, kInductanceWarning);
    EXPECT_TRUE(is_true(NET.RESISTOR(1, 1)));
    EXPECT_FALSE(is_true(NET.INDUCTOR(1, 1)));
    EXPECT_FALSE(is_true(NET.IDEALBR(1, 1)));
    EXPECT_EQ(NET.GEQ(1, 1), 1e20);
    EXPECT_EQ(NET.BRANCH_R(1, 1), 1e-20);
    EXPECT_EQ(set(4, 0.0).out,
              " ***WARN*** Capacitance value is too small. \n"
              " ***WARN*** Considering the branch as a small resistive branch.\n");
    EXPECT_EQ(set(7, 0.0).out, " ***WARN*** Considering the branch as a small resistive branch.\n");
}

TEST_F(VarBranch, InductanceAndCapacitanceConductances) {
    set(1, 0.1);
    EXPECT_DOUBLE_EQ(NET.GEQ(1, 1), 50e-6 * 0.5 / 0.1);
    EXPECT_EQ(NET.G2L(1, 1), NET.GEQ(1, 1));
    EXPECT_EQ(NET.BRANCH_L(1, 1), 0.1);
    EXPECT_EQ(NET.RLG(1, 1), 1.0);
    EXPECT_EQ(NET.RCG(1, 1), 0.0);
    set(2, 10.0);
    EXPECT_DOUBLE_EQ(NET.GEQ(1, 1), 10.0 * 2e-6 / 50e-6);
    EXPECT_EQ(NET.G2C(1, 1), NET.GEQ(1, 1));
    EXPECT_DOUBLE_EQ(NET.BRANCH_C(1, 1), 10e-6);
    EXPECT_EQ(NET.RCG(1, 1), 1.0);
    EXPECT_EQ(NET.RLG(1, 1), 0.0);
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

// L from 0.1 to 0.2 with 10 A flowing: I = 10 (0.5 - 1) = -5 A, carried on.
TEST_F(VarBranch, InductanceCorrectionIsCarriedOn) {
    set(3, 0.1);
    first_step(false);
    NET.CBR(1, 1) = 10.0;
    set(3, 0.2);
    EXPECT_DOUBLE_EQ(NET.CCBR(2, 1), -5.0);
    NET.CBR(1, 1) = 4.0;
    set(3, 0.2);
    EXPECT_DOUBLE_EQ(NET.CCBR(2, 1), -5.0);
    set(3, 0.2);
    EXPECT_DOUBLE_EQ(NET.CCBR(2, 1), -5.0);
    // Back to 0.1 with 4 A: 4 (2 - 1) + 0.2 (-5) / 0.1 = -6 A.
    set(3, 0.1);
    EXPECT_DOUBLE_EQ(NET.CCBR(2, 1), -6.0);
}

TEST_F(VarBranch, InitRecordsTheCorrectionBranch) {
    BRCHANGE_LIST.count = 0;
    Captured c = capture([] { VARBRANCH_INIT(2, 1, 1, 2); });
    EXPECT_EQ(c.out, "");
    EXPECT_EQ(BRCHANGE_LIST.count, 0);
    EXPECT_TRUE(is_true(NET.SOURCE(1, 1)));
    EXPECT_FALSE(is_true(NET.RESISTOR(1, 1)));
    EXPECT_FALSE(is_true(NET.DEFRDBR(2, 1)));

    c = capture([] { VARBRANCH_INIT(3, 1, 1, 2); });
    EXPECT_EQ(c.out, "");
    ASSERT_EQ(BRCHANGE_LIST.count, 1);
    EXPECT_EQ(BRCHANGE_LIST.kind[0], 9);
    EXPECT_EQ(BRCHANGE_LIST.branch[0], 2);
    EXPECT_EQ(BRCHANGE_LIST.zero[0], 0);
    EXPECT_EQ(BRCHANGE_LIST.subsystem[0], 1);
    EXPECT_TRUE(is_true(NET.DEFRDBR(2, 1)));
    for (FArray2<double>* a : {&NET.GEQ, &NET.GEQD, &NET.GON, &NET.GOFF, &NET.RLG, &NET.RCG}) {
        EXPECT_EQ((*a)(2, 1), 0.0);
    }
}

// The matrix takes the conductance of an ordinary branch only from the
// map file: one warning at the set-up.
TEST_F(VarBranch, InitOfAnOrdinaryBranchWarns) {
    CURRENT_IDS = {2, 5};
    const Captured c = capture([] { VARBRANCH_INIT(0, 1, 3, 0); });
    EXPECT_FALSE(c.aborted);
    EXPECT_EQ(c.out, " ***WARN*** Branch 3 of subsystem 1 is not a switched branch (letter S):[           2 :           5 ]\n"
                     " ***WARN*** changes of its value cannot reach the network solution.\n");
}

TEST_F(VarBranch, InitChecksItsBranches) {
    const Captured c = capture([] { VARBRANCH_INIT(3, 1, 1, 9); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, "Current Branch# (    9 ) > max Br#    4 in SS  1\n" + abort_frame("VARBRANCH_INIT"));
}

TEST_F(VarBranch, FullBranchChangeListStopsTheRun) {
    BRCHANGE_LIST.count = BRCHANGE_MAX - 1;
    ASSERT_FALSE(capture([] { VARBRANCH_INIT(3, 1, 1, 2); }).aborted);
    EXPECT_EQ(BRCHANGE_LIST.count, BRCHANGE_MAX);
    EXPECT_EQ(BRCHANGE_LIST.branch[BRCHANGE_MAX - 1], 2);
    const Captured c = capture([] { VARBRANCH_INIT(3, 1, 1, 2); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " ***ERROR** The list of branch changes is full: it holds 10000 entries.\n"
                     " ***ERROR** Fewer branches can be changed by models in one case.\n" +
                         abort_frame("VARBRANCH_INIT"));
    EXPECT_EQ(BRCHANGE_LIST.count, BRCHANGE_MAX);
}

TEST_F(VarBranch, SeriesRlcValues) {
    POINTER_BLOCK.NSTORF = 1;
    VARBR_RLC(1, 1, 1, 1, 1, 2.0, 0.01, 100.0);
    const double xl = 2.0 * 0.01 / 50e-6, xc = 50e-6 * 500000.0 / 100.0, g = 1.0 / (2.0 + xl + xc);
    EXPECT_EQ(POINTER_BLOCK.NSTORF, 7);
    EXPECT_DOUBLE_EQ(NET.GEQ(1, 1), g);
    for (FArray2<double>* a : {&NET.GEQD, &NET.GON, &NET.GOFF}) EXPECT_EQ((*a)(1, 1), NET.GEQ(1, 1));
    EXPECT_DOUBLE_EQ(NET.RLG(1, 1), g * xl);
    EXPECT_DOUBLE_EQ(NET.RCG(1, 1), g * xc);
    EXPECT_DOUBLE_EQ(NET.RCL(1, 1), g * xl * xc);
    EXPECT_DOUBLE_EQ(NET.RSC(1, 1), (xc + 2.0) * g * xl);
    EXPECT_DOUBLE_EQ(NET.RSL(1, 1), (xl + 2.0) * g * xc);
    EXPECT_DOUBLE_EQ(NET.G2L(1, 1), 1.0 / xl);
    EXPECT_DOUBLE_EQ(NET.G2C(1, 1), 1.0 / xc);
    EXPECT_DOUBLE_EQ(NET.BRANCH_C(1, 1), 100e-6);
    EXPECT_TRUE(is_true(NET.RESISTOR(1, 1)) && is_true(NET.INDUCTOR(1, 1)) && is_true(NET.CAPACITR(1, 1)));
    EXPECT_EQ(NET.MXINV(1), 3);

    // Only R changes, below the threshold: with L and C present the branch
    // stays ordinary and loses its resistance.
    first_step(false);
    POINTER_BLOCK.NSTORF = 1;
    VARBR_RLC(1, 1, 1, 1, 1, 1e-9, 0.01, 100.0);
    EXPECT_FALSE(is_true(NET.IDEALBR(1, 1)));
    EXPECT_DOUBLE_EQ(NET.GEQ(1, 1), 1.0 / (xl + xc));
    EXPECT_EQ(NET.BRANCH_R(1, 1), 1e-9);
}

TEST_F(VarBranch, SeriesRlcNegativeResistanceOnTheFirstStep) {
    NET.BRANCH_R(1, 1) = 6.5;
    NET.RESISTOR(1, 1) = LTRUE;
    POINTER_BLOCK.NSTORF = 1;
    VARBR_RLC(1, 1, 1, 1, 0, -1.0, 0.01, 0.0);
    EXPECT_FALSE(is_true(NET.RESISTOR(1, 1)));
    EXPECT_EQ(NET.BRANCH_R(1, 1), 6.5);
    EXPECT_DOUBLE_EQ(NET.GEQ(1, 1), 1.0 / (2.0 * 0.01 / 50e-6));
}

// A resistance alone below the threshold makes the branch ideal; grown
// again, the branch is an ordinary resistor again.
TEST_F(VarBranch, SeriesRlcIdealAndBack) {
    POINTER_BLOCK.NSTORF = 1;
    VARBR_RLC(1, 1, 1, 0, 0, 1e-9, 0.0, 0.0);
    EXPECT_TRUE(is_true(NET.IDEALBR(1, 1)));
    EXPECT_TRUE(is_true(NET.IDEALSS(1)));
    EXPECT_EQ(NET.GEQ(1, 1), 0.0);
    first_step(false);
    POINTER_BLOCK.NSTORF = 1;
    VARBR_RLC(1, 1, 1, 0, 0, 4.0, 0.0, 0.0);
    EXPECT_FALSE(is_true(NET.IDEALBR(1, 1)));
    EXPECT_EQ(NET.GEQ(1, 1), 0.25);
    // Unchanged values leave the tables alone.
    NET.GEQ(1, 1) = 3.0;
    NET.MXINV(1) = 7;
    POINTER_BLOCK.NSTORF = 1;
    VARBR_RLC(1, 1, 1, 0, 0, 4.0, 0.0, 0.0);
    EXPECT_EQ(NET.GEQ(1, 1), 3.0);
    EXPECT_EQ(NET.MXINV(1), 7);
    EXPECT_EQ(POINTER_BLOCK.NSTORF, 7);
}

TEST_F(VarBranch, OlderFormInjectsItsCorrectionAtTheNodes) {
    POINTER_BLOCK.NEXC = 0;
    double current = 0.0;
    VARBRANCH_NB(1, 1, 1, current, 0.1, 2.0);
    EXPECT_TRUE(is_true(NET.NORMARK(5, 1)));
    EXPECT_TRUE(is_true(NET.NORMARK(3, 1)));
    EXPECT_TRUE(is_true(NET.SOURCE(1, 1)));
    EXPECT_TRUE(is_true(NET.INDUCTOR(1, 1)));
    EXPECT_DOUBLE_EQ(NET.GEQ(1, 1), 50e-6 * 0.5 / 0.1);
    EXPECT_EQ(NET.EBR(1, 1), 2.0);
    EXPECT_EQ(POINTER_BLOCK.NEXC, 10);
    EXPECT_EQ(STORAGE.STOR(1), 0.1);

    first_step(false);
    NET.CBR(1, 1) = 10.0;
    POINTER_BLOCK.NEXC = 0;
    VARBRANCH_NB(1, 1, 1, current, 0.2, 2.0);
    // -5 A: taken from node 5 and given to node 3.
    EXPECT_DOUBLE_EQ(NET.CNOR(5, 1), 5.0);
    EXPECT_DOUBLE_EQ(NET.CNOR(3, 1), -5.0);
    EXPECT_DOUBLE_EQ(current, 5.0);
    EXPECT_DOUBLE_EQ(STORAGE.STOR(2), -5.0);
}

// A source of 100 V behind 1 ohm feeds L = 1 mH and a variable resistor
// to ground, stepped from 10 ohm to 4 ohm at 10 ms; the run ends on the
// new steady state 100 / (1 + 4) = 20 A.
TEST_F(VarBranch, VariableResistorReachesTheNewSteadyState) {
    reset_engine();
    read_map("varbranch_rl.map");
    const int32_t br = 3;
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
    EXPECT_EQ(c.out.find("WARN"), std::string::npos) << c.out;
    // Over a hundred time constants on either side of the change.
    EXPECT_NEAR(before, 100.0 / 11.0, 1e-6);
    EXPECT_NEAR(NET.CBR(br, 1), 20.0, 1e-5);
    EXPECT_NEAR(NET.VNODE(2, 1), 80.0, 1e-4);
    EXPECT_EQ(NET.GEQ(br, 1), 0.25);
    EXPECT_EQ(array_overrun_count(), 0);
}

}  // namespace
