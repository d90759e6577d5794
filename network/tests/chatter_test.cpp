// Chatter detection: the reversal counter through an alternating value,
// the half step it asks for, the report printed once per run, and the
// cases that do not count.
#include <cmath>
#include <limits>

#include "network/chatter.h"
#include "network/tests/solution_circuit.h"

namespace {

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

TEST_F(Chatter, SteadyRiseAndReversalsAtTheLevel) {
    NET.VNODE(7, 1) = 0.0;
    for (double v : {1.0, 2.0, 3.0}) {
        node_step(v);
        EXPECT_EQ(NET.CHATCNTV(7, 1), 1);
    }
    // Half a change of exactly the level is no reversal.
    NET.SSCHATLEV(1) = 0.25;
    NET.VNODE(7, 1) = 0.5;
    node_step(0.0);
    EXPECT_EQ(NET.CHATCNTV(7, 1), -1);
    node_step(0.5);
    EXPECT_EQ(NET.CHATCNTV(7, 1), 1);
    node_step(0.0);
    EXPECT_EQ(NET.CHATCNTV(7, 1), -1);
    // A value that is not a number counts as falling.
    NET.CHATCNTV(7, 1) = 4;
    node_step(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(NET.CHATCNTV(7, 1), -1);
}

TEST_F(Chatter, BranchCurrentsAndTheirReport) {
    NET.CHATCNTI(3, 1) = 5;
    NET.CBR(3, 1) = 2.0;
    NET.CBRT(3) = 1.0;
    NET.CHATCNTI(4, 1) = 2;
    NET.CBR(4, 1) = NET.CBRT(4) = 1.0;
    Captured c = capture([] { CHATTER_CHK(1, 2); });
    EXPECT_EQ(c.out, "Current chatter:        SS#  1   Br#    3\n");
    EXPECT_TRUE(is_true(NET.SSCHATTER(1)));
    EXPECT_EQ(NET.CHATCNTI(3, 1), 0);
    EXPECT_EQ(NET.CHATCNTI(4, 1), 0);
    EXPECT_FALSE(is_true(NET.CHATMSGI(3, 1)));
}

TEST_F(Chatter, OtherModesReportNothing) {
    // Any mode but 1 and 3 works on the branches; only 2 reports.
    NET.CHATCNTI(2, 1) = -5;
    NET.CBR(2, 1) = 0.0;
    NET.CBRT(2) = 1.0;
    Captured c = capture([] { CHATTER_CHK(1, 4); });
    EXPECT_EQ(c.out, "");
    EXPECT_TRUE(is_true(NET.SSCHATTER(1)));
    EXPECT_EQ(NET.CHATCNTI(2, 1), 0);
    EXPECT_TRUE(is_true(NET.CHATMSGI(2, 1)));
    // Mode 3 changes nothing.
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
    EXPECT_TRUE(is_true(NET.SSCHATTER(1)));
    EXPECT_TRUE(is_true(NET.CHATMSGV(7, 1)));
}

TEST_F(Chatter, SubsystemOptions) {
    SSFLAGS_SET(1, 1, 0);
    EXPECT_TRUE(is_true(NET.SSINTERP(1)));
    EXPECT_FALSE(is_true(NET.SSRMCHAT(1)));
    SSFLAGS_SET(1, 2, 1);
    EXPECT_FALSE(is_true(NET.SSINTERP(1)));
    EXPECT_TRUE(is_true(NET.SSRMCHAT(1)));
}

}  // namespace
