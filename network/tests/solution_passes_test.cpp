// The pieces of a step: crossing fractions, the history currents and EMFs
// a pass sees, the right-hand side, the results of a partial pass, the
// change detection at the start of a step, subsystems without nodes, and a
// whole run through the run loop.
#include "engine/run_loop.h"
#include "network/branch_currents.h"
#include "network/branch_plan.h"
#include "network/interpolation.h"
#include "network/tests/solution_circuit.h"

namespace {

using SolutionPasses = SolutionTest;

TEST(SolutionCrossing, FractionsOfTheSpan) {
    EXPECT_EQ(CROSSFRAC(1.0, 1.0 + 1e-11, 0.5), 1.0);  // no change worth the name
    EXPECT_EQ(CROSSFRAC(1.0, -1.0, 0.0), 0.5);
    EXPECT_EQ(CROSSFRAC(1.0, 3.0, 0.0), 0.0);  // behind the start
    EXPECT_EQ(CROSSFRAC(0.0, 1.0, 4.0), 1.0);  // beyond the end
    EXPECT_DOUBLE_EQ(CROSSFRAC(2.0, 6.0, 3.0), 0.25);

    double f = 0.5;
    CROSSADJ(f, 0.1, 1.0, 3.0, 0.0, 0.0, 1.0);  // d = 2 is not below the level
    EXPECT_EQ(f, 0.5);
    CROSSADJ(f, 0.1, 1.0, 3.0, 0.0, 0.0, 3.0);  // d = 2 below the level 3
    EXPECT_DOUBLE_EQ(f, 0.3);
    f = 0.5;
    CROSSADJ(f, 1.0, 3.0, 1.0, 0.0, 0.0, 0.0);  // falling difference above the level
    EXPECT_EQ(f, 4.5);
    f = 0.5;
    CROSSADJ(f, 1.0, 1.0, 3.0, 0.0, 0.0, 3.0);  // drawn back before the start
    EXPECT_EQ(f, 1e-4);
}

TEST_F(SolutionPasses, HistoryCurrentAndEmfAsEachPassSeesThem) {
    tables(2, 2, 1e-6);
    const int32_t b = branch({1, 2, 1.0, 0, 0, 10.0});
    NET.CCBR(b, 1) = 4.0;
    NET.CCBRD(b, 1) = 2.0;
    NET.EBR(b, 1) = 10.0;
    NET.EBRD(b, 1) = 6.0;
    // An opening pass: new values for a changed branch, old ones otherwise.
    NET.BRCHG(b) = LTRUE;
    EXPECT_EQ(INTVAL1(b, 1, true, true, true, 0.5), 4.0);
    EXPECT_EQ(INTVAL2(b, 1, true, false, true, true, true, 0.5), 10.0);
    NET.BRCHG(b) = LFALSE;
    EXPECT_EQ(INTVAL1(b, 1, true, true, true, 0.5), 2.0);
    EXPECT_EQ(INTVAL2(b, 1, true, false, true, true, true, 0.5), 6.0);
    // A branch of its own companion: its present history.
    EXPECT_EQ(INTVAL1(b, 1, true, true, false, 0.5), 4.0);
    // An injected current: drawn along the line of its two values.
    NET.DEFRDBR(b, 1) = LTRUE;
    EXPECT_EQ(INTVAL1(b, 1, true, true, false, 0.25), 2.5);   // re-solution, at the instant reached
    EXPECT_EQ(INTVAL1(b, 1, true, false, false, 0.25), 2.0);
    EXPECT_EQ(INTVAL1(b, 1, false, true, false, 0.25), 4.5);  // a step beyond the present value
    EXPECT_EQ(INTVAL1(b, 1, false, false, false, 0.25), 4.0);
    // The EMF likewise.
    EXPECT_EQ(INTVAL2(b, 1, true, false, true, true, false, 0.25), 7.0);
    EXPECT_EQ(INTVAL2(b, 1, true, false, false, true, false, 0.25), 6.0);
    EXPECT_EQ(INTVAL2(b, 1, false, false, true, true, false, 0.25), 11.0);
    // A voltage source with extrapolation: its own values, not a line.
    EXPECT_EQ(INTVAL2(b, 1, true, true, true, false, false, 0.25), 6.0);
    EXPECT_EQ(INTVAL2(b, 1, false, true, true, false, false, 0.25), 10.0);
    NET.SSEXTRAP(1) = LFALSE;
    EXPECT_EQ(INTVAL2(b, 1, false, true, true, false, false, 0.25), 11.0);
}

TEST_F(SolutionPasses, RightHandSideSignsAndNortonBuses) {
    tables(4, 3, 1e-6);
    const int32_t into = branch({0, 4, 2.0, 0, 0, 10.0});  // towards node 4
    const int32_t out = branch({3, 0, 4.0, 0, 0, 8.0});    // away from node 3
    const int32_t both = branch({1, 2, 1.0, 0, 0, 1.0});
    NET.CHIST(2, 1) = 0.25;
    NET.TLINJ(1, 1) = 3.0;
    NET.TLINJD(1, 1) = 1.0;
    NET.NNORTON(1) = 1;
    NET.NORBUS(1, 1) = 3;
    NET.CNOR(3, 1) = 5.0;
    NET.CNORD(3, 1) = 1.0;
    INTERPA(1, 0.5, true, false, false);
    EXPECT_EQ(NET.CINJ(4), 0.5 * 10.0);
    EXPECT_EQ(NET.CINJ(3), -0.25 * 8.0 + (5.0 + 0.5 * (5.0 - 1.0)));
    EXPECT_EQ(NET.CINJ(1), 3.0 + 0.5 * 2.0 - 1.0);
    EXPECT_EQ(NET.CINJ(2), -0.25 + 1.0);
    (void)into;
    (void)out;
    (void)both;
    // An opening pass: the line injection of the step start, and the new
    // Norton current only where its conductance changed.
    NET.NORCHG(3) = LFALSE;
    INTERPA(1, 0.5, true, true, true);
    EXPECT_EQ(NET.CINJ(1), 1.0 - 1.0);
    EXPECT_EQ(NET.CINJ(3), -2.0 + 1.0);
    NET.NORCHG(3) = LTRUE;
    INTERPA(1, 0.5, true, true, true);
    EXPECT_EQ(NET.CINJ(3), -2.0 + 5.0);
}

// A partial pass draws the results back to its fraction; the capacitor
// voltage of a branch with L and C comes from the histories of the span
// that was solved, like the coil voltage.
TEST_F(SolutionPasses, PartialPassOfASeriesLCBranch) {
    tables(1, 1, 1e-4);
    const int32_t b = branch({1, 0, 1.0, 1e-3, 10e-6});
    NET.VSOL(1) = 2.0;
    NET.VNODE(1, 1) = 1.0;
    NET.CCL(b, 1) = 0.3;
    NET.CCLD(b, 1) = 0.1;
    NET.CCC(b, 1) = -0.2;
    NET.CCCD(b, 1) = -0.4;
    NET.V12L(b, 1) = 0.5;
    NET.V20L(b, 1) = 0.25;
    NET.CCBR(b, 1) = NET.RLG(b, 1) * 0.3 + NET.RCG(b, 1) * -0.2;
    const double vb = 2.0;
    const double vl = -0.2 * NET.RCL(b, 1) + NET.RLG(b, 1) * vb - 0.3 * NET.RSC(b, 1);
    const double vc = 0.3 * NET.RCL(b, 1) + NET.RCG(b, 1) * vb - -0.2 * NET.RSL(b, 1);
    INCALCVI(1, 0.0, 0.5, false, true, false, false);
    EXPECT_EQ(NET.VNODE(1, 1), 1.5);
    EXPECT_EQ(NET.V12L(b, 1), 0.5 + 0.5 * (vl - 0.5));
    EXPECT_EQ(NET.V20L(b, 1), 0.25 + 0.5 * (vc - 0.25));
    EXPECT_EQ(NET.CCL(b, 1), 0.1 + 0.5 * (0.3 - 0.1));
    EXPECT_EQ(NET.CCC(b, 1), -0.4 + 0.5 * (-0.2 - -0.4));
    // The branch current is the whole solution's, drawn back likewise.
    const double i = NET.GEQ(b, 1) * vb + NET.RLG(b, 1) * 0.3 + NET.RCG(b, 1) * -0.2;
    EXPECT_DOUBLE_EQ(NET.CBR(b, 1), 0.5 * i);
}

// An arrester's energy record comes from its model: a position outside
// the storage stops the run instead of being used.
TEST_F(SolutionPasses, ArresterRecordOutsideTheStorageStops) {
    tables(1, 1, 1e-4);
    const int32_t b = branch({1, 0, 1.0});
    NET.IORV(b, 1) = 5;
    NET.THISBR(b, 1) = 1000;
    BUILD_BRANCH_PLAN(1);
    NET.VSOL(1) = 1.0;
    const Captured c = capture([] { INCALCVI(1, 0.0, 1.0, false, false, false, false); });
    EXPECT_TRUE(c.aborted);
    EXPECT_NE(c.out.find("Arrester record outside STORI."), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("ERROR: Abnormal termination of ZARIK by INCALCVI"), std::string::npos);
}

TEST_F(SolutionPasses, ChangesFoundAtTheStartOfAStep) {
    tables(3, 4, 50e-6);
    branch({0, 1, 1.0, 0, 0, 1.0});
    branch({1, 2, 1.0});
    branch({2, 3, 1.0});
    const int32_t sw = branch({3, 0, 1.0}, true);
    options(false, false);
    NET.GNOR(2, 1) = 0.5;
    NET.GNOR(3, 1) = 0.0;
    NET.NORMARK(3, 1) = LTRUE;  // a Norton bus while both its values are 0
    start();
    ASSERT_TRUE(step());
    ASSERT_EQ(NET.NNORTON(1), 2);
    EXPECT_EQ(NET.NORBUS(1, 1), 2);
    EXPECT_EQ(NET.NORBUS(2, 1), 3);
    EXPECT_EQ(NET.NTRIANG(1), 1);
    // A conductance equal to before leaves the factors alone.
    ASSERT_TRUE(step());
    EXPECT_EQ(NET.NTRIANG(1), 1);
    EXPECT_FALSE(is_true(NET.NORCHG(2)));
    // From 0.0 to anything counts; the factorisation starts at that node.
    NET.GNOR(3, 1) = 1e-30;
    ASSERT_TRUE(step());
    EXPECT_TRUE(is_true(NET.NORCHG(3)));
    EXPECT_EQ(NET.NTRIANG(1), 2);
    EXPECT_EQ(NET.MXINV(1), 4);
    // The switch's state code sets its counter and, with interpolation,
    // whether it may switch in the step. Codes 5 and 15 come with their
    // records: a one-segment arrester characteristic and a one-segment
    // inductance, neither of which ever steps.
    STORAGE.STOR.allocate(4);
    STORAGE.STOR(4) = 1e30;
    NET.GOFF(sw, 1) = 0.0;
    NET.EOFF(sw, 1) = 1.0;
    STORAGE.RTCI.allocate(5);
    STORAGE.RTCI(1) = 1;
    STORAGE.RTCI(2) = 1;
    STORAGE.RTCF.allocate(5);
    STORAGE.RTCF(2) = 1e30;
    NET.THISBR(sw, 1) = -1;
    for (const auto& [code, pending, count] : std::vector<std::tuple<int32_t, bool, int32_t>>{
             {0, false, 10}, {6, false, 10}, {-6, false, 10}, {5, true, 0}, {-15, true, 0}, {2, true, 10}}) {
        NET.IORV(sw, 1) = code;
        options(true, false);
        ASSERT_TRUE(step());
        EXPECT_EQ(is_true(NET.SWPEND(sw)), pending) << code;
        EXPECT_EQ(NET.SWCOUNT(sw), count) << code;
        EXPECT_EQ(NET.TSWITCH(sw, 1), 1.5);
        options(false, false);
        ASSERT_TRUE(step());
        EXPECT_FALSE(is_true(NET.SWPEND(sw))) << code;
    }
    // A switch whose conductance moved is marked changed for the step.
    NET.GEQ(sw, 1) = 2.0;
    NET.MXINV(1) = 3;
    ASSERT_TRUE(step());
    EXPECT_FALSE(is_true(NET.BRCHG(sw)));  // cleared again when the step closed
    EXPECT_EQ(NET.GEQD(sw, 1), 2.0);
}

TEST_F(SolutionPasses, SubsystemWithoutNodesIsPassedOver) {
    reset_engine();
    DIMBLOCK.REQ[ND_NODES] = 1;
    DIMBLOCK.REQ[ND_SUBSYS] = 2;
    DIMBLOCK.REQ[ND_BRANCHES] = 2;
    DIMBLOCK.REQ[ND_SPARSITY] = 4;
    DIMBLOCK.NSUBSYS = 2;
    int32_t status = 0;
    ALLOC_STORAGE(status);
    ALLOC_SSLIST(2, status);
    SOLUTION_ARRAYS.SSDIM(2) = 1;
    ALLOCATION(2, status);
    CLEAR_STORAGE();
    RUN_CLOCK.DELT = 1e-6;
    // Subsystem 2: a 1 A injection into 1 ohm; subsystem 1 is empty.
    NET.NBUSES(2) = 1;
    NET.NBRANCHES(2) = 1;
    NET.IEF(1, 2) = 1;
    NET.GEQ(1, 2) = NET.GEQD(1, 2) = 1.0;
    NET.RESISTOR(1, 2) = LTRUE;
    SSDESC_RA(2)(1, 1) = 1.0;
    NET.CNOR(1, 2) = 1.0;
    NET.SSRMCHAT(2) = LFALSE;
    start();
    ASSERT_TRUE(step());
    EXPECT_EQ(NET.VNODE(1, 2), 1.0);
    EXPECT_EQ(NET.CBR(1, 2), 1.0);
    EXPECT_EQ(NET.NTRIANG(1), 0);
    EXPECT_EQ(array_overrun_count(), 0);
}

// The run loop from the first to the last step of a run of the empty
// stand-in case, through the step routine and its checks.
TEST_F(SolutionPasses, WholeRunThroughTheRunLoop) {
    read_map("solution_dc_step.map");
    NET.SSRMCHAT(1) = LFALSE;
    start();
    Logical aborted = LFALSE;
    const Captured c = capture([&] { RUNLOOP(aborted, false); });
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_FALSE(is_true(aborted));
    const double E = 100.0, R = 2.0, L = 5e-3, dt = 50e-6;
    const double a = dt / (2.0 * L / R), rho = (1.0 - a) / (1.0 + a);
    const int n = RUN_CLOCK.LAST_STEP;
    ASSERT_EQ(n, 200);
    const double expected = (E / R) * (1.0 - std::pow(rho, n) / (1.0 + a));
    EXPECT_NEAR(I(2), expected, 1e-10 * expected);
    EXPECT_NEAR(V(1), E - R * expected, 1e-9 * E);
    EXPECT_EQ(NET.NTRIANG(1), 1);
}

}  // namespace
