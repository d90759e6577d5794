// The pieces of a step: crossing fractions, the history currents and EMFs
// a pass sees, the right-hand side, the results of a partial pass, the
// change detection at the start of a step, and subsystems without nodes;
// chatter detection: the reversal counter through an alternating value,
// the half step it asks for, the report printed once per run, and the
// cases that do not count.
#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

#include "network/branch_currents.h"
#include "network/branch_plan.h"
#include "network/chatter.h"
#include "network/interpolation.h"
#include "network/tests/solution_circuit.h"

namespace {

using SolutionPasses = SolutionTest;

std::vector<double> rhs() {
    std::vector<double> v;
    for (int32_t k = 1; k <= 4; ++k) v.push_back(NET.CINJ(k));
    return v;
}

// No change worth the name; behind the start; beyond the end. The
// adjustment: a difference d = 2 not below the level, below the level 3;
// a falling difference above the level; drawn back before the start.
TEST(SolutionCrossing, FractionsOfTheSpan) {
    for (const auto& [a, b, level, f] : {std::tuple{1.0, 1.0 + 1e-11, 0.5, 1.0}, {1.0, -1.0, 0.0, 0.5},
                                         {1.0, 3.0, 0.0, 0.0}, {0.0, 1.0, 4.0, 1.0}, {2.0, 6.0, 3.0, 0.25}})
        EXPECT_DOUBLE_EQ(CROSSFRAC(a, b, level), f) << a << " " << b << " " << level;
    for (const auto& [a, b, c, level, f] : {std::tuple{0.1, 1.0, 3.0, 1.0, 0.5}, {0.1, 1.0, 3.0, 3.0, 0.3},
                                            {1.0, 3.0, 1.0, 0.0, 4.5}, {1.0, 1.0, 3.0, 3.0, 1e-4}}) {
        double x = 0.5;
        CROSSADJ(x, a, b, c, 0.0, 0.0, level);
        EXPECT_DOUBLE_EQ(x, f) << a << " " << b << " " << c << " " << level;
    }
}

TEST_F(SolutionPasses, HistoryCurrentAndEmfAsEachPassSeesThem) {
    tables(2, 2, 1e-6);
    const int32_t b = branch({1, 2, 1.0, 0, 0, 10.0});
    NET.CCBR(b, 1) = 4.0;
    NET.CCBRD(b, 1) = 2.0;
    NET.EBR(b, 1) = 10.0;
    NET.EBRD(b, 1) = 6.0;
    // (changed, re-solution, opening pass, own companion or voltage source,
    // fraction, value): an opening pass takes new values for a changed
    // branch, old ones otherwise; a branch of its own companion its present
    // history; an injected current (and the EMF likewise) is drawn along
    // the line of its two values, at the instant reached in a re-solution,
    // a step beyond the present value otherwise; a voltage source with
    // extrapolation keeps its own values.
    for (const auto& [changed, again, opening, own, f, history, emf] :
         std::vector<std::tuple<bool, bool, bool, bool, double, double, double>>{
             {true, true, true, true, 0.5, 4.0, 10.0}, {false, true, true, true, 0.5, 2.0, 6.0}}) {
        NET.BRCHG(b) = as_logical(changed);
        EXPECT_EQ(INTVAL1(b, 1, again, opening, own, f), history);
        EXPECT_EQ(INTVAL2(b, 1, again, false, opening, true, own, f), emf);
    }
    EXPECT_EQ(INTVAL1(b, 1, true, true, false, 0.5), 4.0);
    NET.DEFRDBR(b, 1) = LTRUE;
    for (const auto& [again, opening, history] : {std::tuple{true, true, 2.5}, {true, false, 2.0}, {false, true, 4.5},
                                                  {false, false, 4.0}})
        EXPECT_EQ(INTVAL1(b, 1, again, opening, false, 0.25), history) << again << opening;
    for (const auto& [again, source, opening, line, emf] :
         {std::tuple{true, false, true, true, 7.0}, {true, false, false, true, 6.0}, {false, false, true, true, 11.0},
          {true, true, true, false, 6.0}, {false, true, true, false, 10.0}})
        EXPECT_EQ(INTVAL2(b, 1, again, source, opening, line, false, 0.25), emf) << again << source << opening << line;
    NET.SSEXTRAP(1) = LFALSE;
    EXPECT_EQ(INTVAL2(b, 1, false, true, true, false, false, 0.25), 11.0);
}

TEST_F(SolutionPasses, RightHandSideSignsAndNortonBuses) {
    tables(4, 3, 1e-6);
    branch({0, 4, 2.0, 0, 0, 10.0});  // towards node 4
    branch({3, 0, 4.0, 0, 0, 8.0});   // away from node 3
    branch({1, 2, 1.0, 0, 0, 1.0});
    NET.CHIST(2, 1) = 0.25;
    NET.TLINJ(1, 1) = 3.0;
    NET.TLINJD(1, 1) = 1.0;
    NET.NNORTON(1) = 1;
    NET.NORBUS(1, 1) = 3;
    NET.CNOR(3, 1) = 5.0;
    NET.CNORD(3, 1) = 1.0;
    INTERPA(1, 0.5, true, false, false);
    EXPECT_EQ(rhs(), (std::vector<double>{3.0 + 0.5 * 2.0 - 1.0, -0.25 + 1.0, -0.25 * 8.0 + (5.0 + 0.5 * (5.0 - 1.0)),
                                           0.5 * 10.0}));
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
    EXPECT_STOPS(INCALCVI(1, 0.0, 1.0, false, false, false, false),
                 " ***ERROR** Switched branch 1 of subsystem 1\n ***ERROR** Arrester record outside STORI.\n" +
                     abort_frame("INCALCVI"));
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
    EXPECT_EQ((std::vector<int32_t>{NET.NNORTON(1), NET.NORBUS(1, 1), NET.NORBUS(2, 1), NET.NTRIANG(1)}),
              (std::vector<int32_t>{2, 2, 3, 1}));
    // A conductance equal to before leaves the factors alone.
    ASSERT_TRUE(step());
    EXPECT_EQ(NET.NTRIANG(1), 1);
    EXPECT_FALSE(is_true(NET.NORCHG(2)));
    // From 0.0 to anything counts; the factorisation starts at that node.
    NET.GNOR(3, 1) = 1e-30;
    ASSERT_TRUE(step());
    EXPECT_TRUE(is_true(NET.NORCHG(3)));
    EXPECT_EQ(std::make_pair(NET.NTRIANG(1), NET.MXINV(1)), std::make_pair(2, 4));
    // The switch's state code sets its counter and, with interpolation,
    // whether it may switch in the step. Codes 5 and 15 come with their
    // records: a one-segment arrester characteristic and a one-segment
    // inductance, neither of which ever steps.
    STORAGE.STOR.allocate(4);
    STORAGE.STOR(4) = 1e30;
    NET.GOFF(sw, 1) = 0.0;
    NET.EOFF(sw, 1) = 1.0;
    STORAGE.RTCI.allocate(5);
    STORAGE.RTCI(1) = STORAGE.RTCI(2) = 1;
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
    allocate({{ND_NODES, 1}, {ND_SUBSYS, 2}, {ND_BRANCHES, 2}, {ND_SPARSITY, 4}});
    matrices(2, 1);
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
    EXPECT_EQ(std::make_tuple(NET.VNODE(1, 2), NET.CBR(1, 2), NET.NTRIANG(1)), std::make_tuple(1.0, 1.0, 0));
    EXPECT_EQ(array_overrun_count(), 0);
}

class Chatter : public SolutionTest {
protected:
    void SetUp() override {
        SolutionTest::SetUp();
        tables(8, 4, 50e-6);
        NET.NBRANCHES(1) = 4;
        NET.SSCHATLEV(1) = 0.001;
        RUN_SETUP.screen_plot = LTRUE;
        // As the run initialisation leaves them.
        NET.CHATMSGV.fill(LTRUE);
        NET.CHATMSGI.fill(LTRUE);
    }
    // One closing solution of node 7: from its present voltage to v.
    std::string node_step(double v) {
        NET.VSOL(7) = v;
        const Captured c = capture([] { CHATTER_CHK(1, 1); });
        NET.VNODE(7, 1) = v;
        return c.out;
    }
};

// 1.0, 1.1, 1.0, 1.1, ... counts 1, -2, 3, -4, 5; the sixth reversal asks
// for the half step, clears the counter and reports node 7 once.
TEST_F(Chatter, AlternatingVoltageCountsToSix) {
    NET.VNODE(7, 1) = 1.0;
    NET.CHATCNTV(8, 1) = 3;
    const std::vector<int32_t> counts{1, -2, 3, -4, 5};
    for (size_t s = 0; s < counts.size(); ++s) {
        EXPECT_EQ(node_step(s % 2 == 0 ? 1.1 : 1.0), "");
        EXPECT_EQ(NET.CHATCNTV(7, 1), counts[s]) << s;
        EXPECT_FALSE(is_true(NET.SSCHATTER(1)));
    }
    EXPECT_EQ(node_step(1.0), "Voltage chatter:        SS#  1 Node#    7\n");
    EXPECT_TRUE(is_true(NET.SSCHATTER(1)));
    EXPECT_EQ(NET.CHATCNTV(7, 1), 0);
    EXPECT_EQ(NET.CHATCNTV(8, 1), 0) << "items after the finding are cleared";
    EXPECT_FALSE(is_true(NET.CHATMSGV(7, 1)));

    // While the half step is pending every counter stays at 0.
    EXPECT_EQ(node_step(1.1), "");
    EXPECT_EQ(NET.CHATCNTV(7, 1), 0);

    // Chatter found again later in the run is not reported again.
    NET.SSCHATTER(1) = LFALSE;
    for (int s = 0; s < 5; ++s) EXPECT_EQ(node_step(s % 2 == 0 ? 1.0 : 1.1), "");
    EXPECT_EQ(NET.CHATCNTV(7, 1), -5);
    EXPECT_EQ(node_step(1.1), "");
    EXPECT_TRUE(is_true(NET.SSCHATTER(1)));
}

// A steady rise counts 1 each time; half a change of exactly the level is
// no reversal; a value that is not a number counts as falling.
TEST_F(Chatter, SteadyRiseAndReversalsAtTheLevel) {
    NET.VNODE(7, 1) = 0.0;
    for (double v : {1.0, 2.0, 3.0}) {
        node_step(v);
        EXPECT_EQ(NET.CHATCNTV(7, 1), 1);
    }
    NET.SSCHATLEV(1) = 0.25;
    NET.VNODE(7, 1) = 0.5;
    for (const auto& [v, count] : {std::pair{0.0, -1}, {0.5, 1}, {0.0, -1}}) {
        node_step(v);
        EXPECT_EQ(NET.CHATCNTV(7, 1), count) << v;
    }
    NET.CHATCNTV(7, 1) = 4;
    node_step(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(NET.CHATCNTV(7, 1), -1);
}

// Mode 2 works on the branch currents and reports; any mode but 1 and 3
// works on them without a report; mode 3 changes nothing.
TEST_F(Chatter, BranchCurrentsAndOtherModes) {
    NET.CHATCNTI(3, 1) = 5;
    NET.CBR(3, 1) = 2.0;
    NET.CBRT(3) = 1.0;
    NET.CHATCNTI(4, 1) = 2;
    NET.CBR(4, 1) = NET.CBRT(4) = 1.0;
    EXPECT_EQ(capture([] { CHATTER_CHK(1, 2); }).out, "Current chatter:        SS#  1   Br#    3\n");
    EXPECT_TRUE(is_true(NET.SSCHATTER(1)));
    EXPECT_EQ(std::make_pair(NET.CHATCNTI(3, 1), NET.CHATCNTI(4, 1)), std::make_pair(0, 0));
    EXPECT_FALSE(is_true(NET.CHATMSGI(3, 1)));

    NET.SSCHATTER(1) = LFALSE;
    NET.CHATCNTI(2, 1) = -5;
    NET.CBR(2, 1) = 0.0;
    NET.CBRT(2) = 1.0;
    EXPECT_EQ(capture([] { CHATTER_CHK(1, 4); }).out, "");
    EXPECT_TRUE(is_true(NET.SSCHATTER(1)));
    EXPECT_EQ(NET.CHATCNTI(2, 1), 0);
    EXPECT_TRUE(is_true(NET.CHATMSGI(2, 1)));

    NET.SSCHATTER(1) = LFALSE;
    NET.CHATCNTV(7, 1) = 5;
    NET.VNODE(7, 1) = 1.1;
    NET.VSOL(7) = 1.0;
    CHATTER_CHK(1, 3);
    EXPECT_EQ(NET.CHATCNTV(7, 1), 5);
    EXPECT_FALSE(is_true(NET.SSCHATTER(1)));
}

// Standalone without the screen plot nothing is printed, and the node
// keeps its report for later.
TEST_F(Chatter, PrintedOnlyConnectedOrWithTheScreenPlot) {
    RUN_SETUP.screen_plot = LFALSE;
    NET.CHATCNTV(7, 1) = 5;
    NET.VNODE(7, 1) = 1.1;
    EXPECT_EQ(node_step(1.0), "");
    EXPECT_TRUE(is_true(NET.SSCHATTER(1)) && is_true(NET.CHATMSGV(7, 1)));
}

// Each option is on for a 1 only.
TEST_F(Chatter, SubsystemOptions) {
    SSFLAGS_SET(1, 1, 0);
    EXPECT_EQ(std::make_pair(NET.SSINTERP(1), NET.SSRMCHAT(1)), std::make_pair(LTRUE, LFALSE));
    SSFLAGS_SET(1, 2, 1);
    EXPECT_EQ(std::make_pair(NET.SSINTERP(1), NET.SSRMCHAT(1)), std::make_pair(LFALSE, LTRUE));
}

}  // namespace
