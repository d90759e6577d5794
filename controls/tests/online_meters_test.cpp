// The online meters on a resistive chain whose voltages and currents the
// tests write: 100 V behind 1 ohm into 4, 5 and 10 ohms (95, 75, 50 V; 5 A).
#include "controls/meters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "controls/meter_tables.h"
#include "controls/tests/network_fixture.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "models/xfmr_tables.h"
#include "platform/tests/support/capture.h"

namespace {

constexpr int kSteps = 1001;

class OnlineMeters : public ::testing::Test {
protected:
    void SetUp() override {
        // Branch 1 from the source (node 4) to node 1, then on down the chain.
        small_network({{4, 1}, {1, 2}, {2, 3}, {3, 0}});
        const double v[] = {95.0, 75.0, 50.0, 100.0};
        for (int n = 1; n <= 4; ++n) NET.VNODE(n, 1) = v[n - 1];
        for (int b = 1; b <= 4; ++b) NET.CBR(b, 1) = 5.0;
        RUN_CLOCK.DELT = 50e-6;
        ALLOC_ONLINE(5, 3, 2, 1, 1);
        MeterTables& m = METER_TABLES;
        row(1, 1, 1, {2, 0, 0});
        row(2, 1, 2, {1, 3, 0});
        row(3, 1, 3, {1, 2, 3});
        row(4, 1, 1, {999, 0, 0});
        row(5, 7, 1, {1, 0, 0});
        m.METER3_REF(1) = 3;
        m.METER3_LIST_A(1, 1, 1) = 2;
        m.METER3_LIST_A(1, 2, 1) = 3;
        m.METER3_LIST_A(1, 3, 1) = 3;
        m.METER3_REF(2) = 1;
        m.METER3_LIST_A(2, 1, 1) = 2;
        m.METER3_REF(3) = 1;
        m.METER3_LIST_A(3, 1, 2) = 500;
    }
    void TearDown() override { RUN_FLAGS.FIRST_STEP_RUN = LFALSE; }
    static void row(int r, int ss, int kind, std::array<int, 3> nodes) {
        MeterTables& m = METER_TABLES;
        m.METER_DEF(r, 1) = ss;
        m.METER_DEF(r, 2) = kind;
        for (int k = 1; k <= 3; ++k) m.METER_NODES(r, k) = nodes[k - 1];
    }
    // The steps, the single-phase meter's Q checked finite at each.
    static Captured run(int steps) {
        return capture([&] {
            for (int k = 0; k < steps; ++k) {
                RUN_FLAGS.FIRST_STEP_RUN = as_logical(k == 0);
                UPDATE_METERS();
                ASSERT_TRUE(std::isfinite(METER_TABLES.METER3_VAL(2, 3))) << "step " << k;
                if (k == 0) {
                    EXPECT_EQ(METER_TABLES.METER3_VAL(2, 3), 0.0);
                }
            }
        });
    }
};

TEST_F(OnlineMeters, VoltmetersAndPowerMetersAfterAThousandAndOneSteps) {
    const Captured c = run(kSteps);
    const MeterTables& m = METER_TABLES;
    EXPECT_DOUBLE_EQ(m.METER_VAL(1), 74.74256186514424);
    EXPECT_DOUBLE_EQ(m.METER_VAL(2), 72.25114313630569);
    EXPECT_DOUBLE_EQ(m.METER_VAL(3), 30.593246210051223);
    EXPECT_NEAR(m.METER_VAL(3), 0.7404804896930618 * 45.0 * (1.0 - std::exp(-50.0 * 50e-6 * kSteps)), 1e-12);
    EXPECT_DOUBLE_EQ(m.METER3_VAL(1, 1), 3.925115318834915);
    EXPECT_DOUBLE_EQ(m.METER3_VAL(1, 2), 550.8719745424022);
    EXPECT_DOUBLE_EQ(m.METER3_VAL(1, 3), -106.01536093035823);
    EXPECT_DOUBLE_EQ(m.METER3_VAL(2, 1), 4.982837457676263);
    EXPECT_DOUBLE_EQ(m.METER3_VAL(2, 2), -344.2949840890091);
    EXPECT_DOUBLE_EQ(m.METER3_VAL(2, 3), 142.00386033309474);
    // Unknown node, subsystem and branch: zeros, one warning each.
    EXPECT_EQ(m.METER_VAL(4), 0.0);
    EXPECT_EQ(m.METER_VAL(5), 0.0);
    EXPECT_EQ(m.METER3_VAL(3, 1), 0.0);
    EXPECT_EQ(m.METER3_VAL(3, 2), 0.0);
    EXPECT_FALSE(c.aborted);
    EXPECT_EQ(c.out,
              " ***WARN*** Meter 4 names a subsystem or node that does not exist: it reads 0.0 V.\n"
              " ***WARN*** Meter 5 names a subsystem or node that does not exist: it reads 0.0 V.\n"
              " ***WARN*** Power meter 3 names a subsystem, node, branch, winding or line conductor that does not "
              "exist: it adds no current there.\n");
}

TEST_F(OnlineMeters, AWindingAddsItsTotalCurrentOnItsFirstNodeAndAWindingBeyondTheCountNothing) {
    XfmrTables& X = XFMR_TABLES;
    X.XF_COUNT = 1;
    X.XF_NWDG.allocate(1);
    X.XF_NWDG(1) = 2;
    X.XF_NODE1.allocate(3, 1);
    X.XF_NODE2.allocate(3, 1);
    X.XF_CURTOT.allocate(3, 1);
    X.XF_NODE1(1, 1) = 2;
    X.XF_NODE2(2, 1) = 2;
    X.XF_CURTOT(1, 1) = 3.0;
    X.XF_CURTOT(2, 1) = 1.0;
    X.XF_CURTOT(3, 1) = 50.0;
    MeterTables& m = METER_TABLES;
    m.METER3_LIST_A(2, 1, 1) = 0;
    m.METER3_LIST_B(2, 1, 1, 1) = 1;
    m.METER3_LIST_B(2, 1, 1, 2) = 1;
    m.METER3_LIST_A(3, 1, 2) = 0;
    m.METER3_LIST_B(3, 1, 1, 1) = 1;
    m.METER3_LIST_B(3, 1, 1, 2) = 3;
    const Captured c = run(1);
    const double d = 50.0 * 50e-6;
    EXPECT_DOUBLE_EQ(m.METER3_VAL(2, 1), 3.0 * std::sqrt(d / (1.0 + d)));
    EXPECT_EQ(m.METER3_VAL(3, 1), 0.0);
    EXPECT_NE(c.out.find("Power meter 3 names"), std::string::npos);
    // The second winding has node 2 as its second node: it subtracts.
    m.METER3_VAL(2, 1) = 0.0;
    m.METER3_LIST_B(2, 1, 1, 2) = 2;
    run(1);
    EXPECT_DOUBLE_EQ(m.METER3_VAL(2, 1), 1.0 * std::sqrt(d / (1.0 + d)));
    X = XfmrTables{};
}

}  // namespace
