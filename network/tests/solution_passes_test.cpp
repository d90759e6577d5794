// The pieces of a step: crossing fractions, bad arrester records, the
// change detection at the start of a step, subsystems without nodes; and
// chatter detection: the reversal counter, the half step it asks for and
// the report printed once per run.
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

// Crossing fractions, and their adjustment by the difference of the two values.
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

// An arrester's record position comes from its model: outside the storage it stops the run.
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

// Norton conductances that changed (from 0 too) refactorise from their node; a state code sets the switch's counter.
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
    ASSERT_TRUE(step());
    EXPECT_EQ(std::make_pair(NET.NTRIANG(1), NET.NORCHG(2)), std::make_pair(1, LFALSE));
    NET.GNOR(3, 1) = 1e-30;
    ASSERT_TRUE(step());
    EXPECT_TRUE(is_true(NET.NORCHG(3)));
    EXPECT_EQ(std::make_pair(NET.NTRIANG(1), NET.MXINV(1)), std::make_pair(2, 4));
    // With interpolation, whether it may switch in the step; 5 with a one-segment arrester.
    STORAGE.STOR.allocate(4);
    STORAGE.STOR(4) = 1e30;
    NET.GOFF(sw, 1) = 0.0;
    NET.EOFF(sw, 1) = 1.0;
    for (const auto& [code, pending, count] :
         std::vector<std::tuple<int32_t, bool, int32_t>>{{6, false, 10}, {5, true, 0}, {2, true, 10}}) {
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

// A pass that ends inside the step moves every part voltage of a series
// R-L-C branch by the same fraction as its current and its node voltages:
// R CBR + V12L + V20L stays the interpolated branch voltage, and V20L, which
// the next history step reads, is the capacitor's share of it.
TEST_F(SolutionPasses, PartialPassSplitsTheSeriesBranchVoltage) {
    tables(2, 3, 50e-6);
    branch({0, 1, 1.0, 0, 0, 10.0});
    const int32_t b2 = branch({1, 2, 2.0, 1e-3, 20e-6}), b3 = branch({2, 0, 5.0, 0.5e-3, 50e-6});
    options(true, false);
    start();
    const auto parts_match = [&](const char* when) {
        for (const int32_t b : {b2, b3}) {
            const double vb = V(NET.IEF(b, 1)) - V(NET.IET(b, 1));
            EXPECT_NEAR(NET.BRANCH_R(b, 1) * I(b) + NET.V12L(b, 1) + NET.V20L(b, 1), vb, 1e-12) << when << b;
        }
    };
    for (int32_t n = 0; n < 5; ++n) ASSERT_TRUE(step());
    parts_match("step end, branch ");
    const double ccl = NET.CCL(b2, 1);
    // The first pass of the next step, ended 0.37 of the way through it.
    RUN_CLOCK.TIME = RUN_CLOCK.NSTEP * RUN_CLOCK.DELT;
    BRCURR(1);
    ASSERT_GT(std::fabs(NET.CCL(b2, 1) - ccl), 1e-3);  // the inductor's history moved
    INTERPA(1, 0.0, false, false, false);
    INTERPB(1, 0.0, false, false, false);
    INCALCVI(1, 0.0, 0.37, false, true, false, false);
    parts_match("partial pass, branch ");
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

// 1.0, 1.1, ... counts 1, -2, 3, -4, 5; the sixth asks for the half step and reports once a run.
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
    EXPECT_EQ(std::make_tuple(NET.SSCHATTER(1), NET.CHATCNTV(7, 1), NET.CHATCNTV(8, 1), NET.CHATMSGV(7, 1)),
              std::make_tuple(LTRUE, 0, 0, LFALSE));
    EXPECT_EQ(node_step(1.1), "");  // every counter stays at 0 while the half step is pending
    EXPECT_EQ(NET.CHATCNTV(7, 1), 0);
    NET.SSCHATTER(1) = LFALSE;
    for (int s = 0; s < 5; ++s) EXPECT_EQ(node_step(s % 2 == 0 ? 1.0 : 1.1), "");
    EXPECT_EQ(NET.CHATCNTV(7, 1), -5);
    EXPECT_EQ(node_step(1.1), "");
    EXPECT_TRUE(is_true(NET.SSCHATTER(1)));
}

// Half a change of exactly the level is no reversal; NaN counts as falling.
TEST_F(Chatter, ReversalsAtTheLevel) {
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

// Mode 2 works on the branch currents, with its own report.
TEST_F(Chatter, BranchCurrents) {
    NET.CHATCNTI(3, 1) = 5;
    NET.CBR(3, 1) = 2.0;
    NET.CBRT(3) = 1.0;
    EXPECT_EQ(capture([] { CHATTER_CHK(1, 2); }).out, "Current chatter:        SS#  1   Br#    3\n");
    EXPECT_EQ(std::make_tuple(NET.SSCHATTER(1), NET.CHATCNTI(3, 1), NET.CHATMSGI(3, 1)),
              std::make_tuple(LTRUE, 0, LFALSE));
}

// The counter step against the rule as told: every counter from -7 to 7
// with rises, falls, no change, changes at and beside the level, NaN and
// infinities.
TEST(ChatterCounter, FollowsTheRuleForEveryCase) {
    const auto rule = [](int32_t c, double x, double y, double level) {
        const double mid = 0.5 * (x + y);
        const double d = std::fabs(y - mid);
        if (mid <= y) return (c < 0 && d > level) ? 1 - c : 1;
        return (c >= 0 && d > level) ? -c - 1 : -1;
    };
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    const double values[] = {0.0, -0.0, 0.5, 1.0, -1.0, 1.5, 1e300, -1e300, inf, -inf, nan};
    int32_t cases = 0;
    for (int32_t c = -7; c <= 7; ++c)
        for (double x : values)
            for (double y : values)
                for (double level : {0.0, 0.25, 0.5, 1e-3}) {
                    ASSERT_EQ(CHATTER_NEXT(c, x, y, level), rule(c, x, y, level))
                        << c << " " << x << " " << y << " " << level;
                    ++cases;
                }
    EXPECT_EQ(cases, 15 * 11 * 11 * 4);
    for (int32_t c = -8; c <= 8; ++c) EXPECT_EQ(CHATTER_AT(c), c >= 6 || c <= -6) << c;
}

}  // namespace
