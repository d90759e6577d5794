// Conductance blocks added to a subsystem's matrix by case code: the
// entries it forms, the grounded and shared terminals, the checks, and a
// block that stands for branches giving the matrix those branches give.
#include <array>
#include <vector>

#include "network/conductance_block.h"
#include "network/tests/solution_circuit.h"

namespace {

class ConductanceBlock : public SolutionTest {
protected:
    void SetUp() override {
        SolutionTest::SetUp();
        tables(8, 2, 50e-6);
        RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    }
    double gm(int32_t i, int32_t j) { return SSDESC_RA(1)(i, j); }
    bool pat(int32_t i, int32_t j) { return SSDESC_IA(1)(i, j) != 0; }
    // Every entry of GM, by columns.
    std::vector<double> all_gm() {
        std::vector<double> v;
        for (int32_t j = 1; j <= 8; ++j)
            for (int32_t i = 1; i <= 8; ++i) v.push_back(gm(i, j));
        return v;
    }
};

TEST_F(ConductanceBlock, TwoTerminalBlock) {
    const std::array<int32_t, 2> nodes{4, 7};
    const std::array<double, 3> y{3.0, -2.0, 5.0};
    ZARIK_ADD_GM(3, 2, 1, nodes, y);
    EXPECT_EQ(gm(4, 7), 2.0);
    EXPECT_EQ(gm(7, 4), 2.0);
    EXPECT_EQ(gm(4, 4), 1.0);
    EXPECT_EQ(gm(7, 7), 3.0);
    for (auto [i, j] : {std::pair{4, 4}, {4, 7}, {7, 4}, {7, 7}}) {
        EXPECT_TRUE(pat(i, j)) << i << "," << j;
    }
    EXPECT_FALSE(pat(4, 5));
    // A second call adds on.
    ZARIK_ADD_GM(3, 2, 1, nodes, y);
    EXPECT_EQ(gm(4, 7), 4.0);
    EXPECT_EQ(gm(7, 7), 6.0);
}

TEST_F(ConductanceBlock, ThreeTerminalBlockIsSymmetric) {
    // Couplings 1 (a-b), 2 (a-c), 4 (b-c); to ground 0.5, 0.25, 0.125.
    const std::array<int32_t, 3> nodes{2, 5, 3};
    const std::array<double, 6> y{3.5, -1.0, 5.25, -2.0, -4.0, 6.125};
    ZARIK_ADD_GM(6, 3, 1, nodes, y);
    EXPECT_EQ(gm(2, 5), 1.0);
    EXPECT_EQ(gm(5, 2), 1.0);
    EXPECT_EQ(gm(2, 3), 2.0);
    EXPECT_EQ(gm(3, 2), 2.0);
    EXPECT_EQ(gm(5, 3), 4.0);
    EXPECT_EQ(gm(3, 5), 4.0);
    EXPECT_EQ(gm(2, 2), 0.5);
    EXPECT_EQ(gm(5, 5), 0.25);
    EXPECT_EQ(gm(3, 3), 0.125);
}

// A terminal on ground: its coupling becomes one conductance to ground of
// the other terminal, so that node's total is its self admittance.
TEST_F(ConductanceBlock, GroundedTerminalCountsItsCouplingOnce) {
    const std::array<int32_t, 2> nodes{4, 0};
    const std::array<double, 3> y{3.0, -2.0, 5.0};
    ZARIK_ADD_GM(3, 2, 1, nodes, y);
    EXPECT_EQ(gm(4, 4), 3.0);
    for (int32_t j = 1; j <= 8; ++j) EXPECT_EQ(j == 4 ? 0.0 : gm(4, j), 0.0) << j;
}

// Two terminals on one node: the coupling between them carries nothing;
// their conductances to ground both stay.
TEST_F(ConductanceBlock, TerminalsOnOneNodeShortTheirCoupling) {
    const std::array<int32_t, 2> nodes{6, 6};
    const std::array<double, 3> y{3.0, -2.0, 5.0};
    ZARIK_ADD_GM(3, 2, 1, nodes, y);
    EXPECT_EQ(gm(6, 6), 1.0 + 3.0);
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

TEST_F(ConductanceBlock, DimensionMismatchStopsTheRun) {
    CURRENT_IDS = {3, 11};
    const std::array<int32_t, 3> nodes{1, 2, 3};
    const std::array<double, 6> y{};
    const Captured c = capture([&] { ZARIK_ADD_GM(5, 3, 1, nodes, y); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " ***WARN*** dimension mismatch[           3 :          11 ]\n" + abort_frame("ZARIK_ADD_GM"));
}

TEST_F(ConductanceBlock, NodesOutsideTheSubsystemStopTheRun) {
    const std::vector<double> before = all_gm();
    const std::array<double, 3> y{3.0, -2.0, 5.0};
    for (int32_t bad : {9, -1}) {
        const std::array<int32_t, 2> nodes{4, bad};
        const Captured c = capture([&] { ZARIK_ADD_GM(3, 2, 1, nodes, y); });
        EXPECT_TRUE(c.aborted);
        EXPECT_EQ(c.out, " ***ERROR** Node " + std::to_string(bad) +
                             " of the conductance block is not a node of subsystem 1\n"
                             " ***ERROR** Nodes must lie between 0 (ground) and 8.\n" +
                             abort_frame("ZARIK_ADD_GM"));
        tables(8, 2, 50e-6);
        RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    }
    EXPECT_EQ(array_overrun_count(), 0);
}

// The block of three resistors and a resistor to ground gives GM exactly
// as the same resistors read as branches do.
TEST_F(ConductanceBlock, BlockEqualsTheBranchesItStandsFor) {
    reset_engine();
    read_map("gm_block_branches.map");
    ASSERT_EQ(NET.NBUSES(1), 4);
    std::vector<double> want_gm;
    std::vector<int8_t> want_pat;
    for (int32_t j = 1; j <= 4; ++j)
        for (int32_t i = 1; i <= 4; ++i) {
            want_gm.push_back(SSDESC_RA(1)(i, j));
            want_pat.push_back(SSDESC_IA(1)(i, j));
        }
    ASSERT_EQ(chdir(home_.c_str()), 0);

    reset_engine();
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
    size_t k = 0;
    for (int32_t j = 1; j <= 4; ++j)
        for (int32_t i = 1; i <= 4; ++i, ++k) {
            EXPECT_NEAR(SSDESC_RA(1)(i, j), want_gm[k], 1e-15) << i << "," << j;
            // The block marks every pair of its terminals, its zero
            // coupling between nodes 1 and 3 too.
            const bool zero_pair = (i == 1 && j == 3) || (i == 3 && j == 1);
            EXPECT_EQ(SSDESC_IA(1)(i, j) != 0, want_pat[k] != 0 || zero_pair) << i << "," << j;
        }
}

}  // namespace
