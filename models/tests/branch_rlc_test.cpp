// Run-time branch values: coefficients, matrix correction, the ideal-branch
// boxes, begin-pass values against the same values in the map, and the
// decisions on open capacitors and values out of range.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "models/switch/branch_rlc.h"
#include "network/tests/solution_circuit.h"

namespace {

class BranchRlc : public SolutionTest {
protected:
    // Two nodes: branch 1 from node 1 to node 2, branch 2 from node 2 to
    // ground, each of 4 ohm; branch 3 switched.
    void SetUp() override {
        SolutionTest::SetUp();
        tables(2, 3, 50e-6);
        NET.GIDEAL(1) = 1e6;
        branch({1, 2, 4.0});
        branch({2, 0, 4.0});
        branch({1, 0, 4.0}, true);
    }
    static double gm(int32_t a, int32_t b) { return SSDESC_RA(1)(a, b); }
    static std::vector<double> coefficients(int32_t b) {
        const NetworkTables& N = NET;
        return {N.GEQ(b, 1), N.RLG(b, 1), N.RCG(b, 1), N.RCL(b, 1), N.RSC(b, 1), N.RSL(b, 1)};
    }
};

void expect_close(const std::vector<double>& got, const std::vector<double>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t k = 0; k < got.size(); ++k) EXPECT_NEAR(got[k], want[k], 1e-14 * std::fabs(want[k])) << k;
}

TEST_F(BranchRlc, CompanionCoefficients) {
    BRANCH_RLC(1, 1, 1, 1, 0, 0.5, 0.01, 0.0);
    expect_close(coefficients(1), {0.00249687890137328, 0.998751560549313, 0.0, 0.0, 0.499375780274657, 0.0});
    BRANCH_RLC(1, 1, 1, 1, 1, 1.0, 0.002, 50.0);
    expect_close(coefficients(1), {0.0122699386503067, 0.981595092024540, 0.00613496932515337, 0.49079754601227,
                                   1.47239263803681, 0.496932515337423});
    expect_close({NET.G2L(1, 1), NET.G2C(1, 1), NET.BRANCH_C(1, 1)}, {1.0 / 80, 2.0, 50e-6});
}

// The change of the conductance reaches the matrix once; a switched branch's entry is left alone.
TEST_F(BranchRlc, MatrixCorrection) {
    for (int k = 0; k < 2; ++k) {
        BRANCH_RLC(1, 1, 1, 0, 0, 2.0, 0.0, 0.0);
        BRANCH_RLC(2, 1, 1, 0, 0, 8.0, 0.0, 0.0);
        BRANCH_RLC(3, 1, 1, 0, 0, 1.0, 0.0, 0.0);
        EXPECT_EQ(std::make_tuple(gm(1, 2), gm(2, 1), gm(2, 2), gm(1, 1)), std::make_tuple(0.5, 0.5, 0.125, 0.0));
        EXPECT_EQ(NET.GEQ(3, 1), 1.0);
    }
}

const std::string kRule = " " + std::string(47, '-') + "\n";

// At or below the limit a lone resistance makes the branch ideal; beside an L it is dropped.
TEST_F(BranchRlc, IdealConversionBoxes) {
    Captured c = capture([] { BRANCH_RLC(2, 1, 1, 0, 0, 1e-6, 0.0, 0.0); });
    EXPECT_EQ(c.out, kRule + " Branch            2  in SS            1\n has been converted to an ideal branch because\n"
                             " R value is less than the user defined limit!\n" + kRule);
    EXPECT_EQ(std::make_tuple(NET.IDEALBR(2, 1), NET.IDEALSS(1), NET.RESISTOR(2, 1), NET.GEQ(2, 1), gm(2, 2)),
              std::make_tuple(LTRUE, LTRUE, LTRUE, 0.0, 0.0));
    c = capture([] { BRANCH_RLC(1, 1, 1, 1, 0, -1e-7, 0.01, 0.0); });
    EXPECT_EQ(c.out, kRule + " Branch            1  in SS            1\n Resistive portion\n"
                             " has been converted to an ideal branch because\n"
                             " R value is less than the user defined limit!\n" + kRule);
    EXPECT_EQ(std::make_tuple(NET.IDEALBR(1, 1), NET.RESISTOR(1, 1), NET.INDUCTOR(1, 1), NET.BRANCH_R(1, 1), NET.GEQ(1, 1)),
              std::make_tuple(LFALSE, LFALSE, LTRUE, 0.0, 1.0 / 400.0));
}

// An open capacitor carries nothing; a value out of range stops the run.
TEST_F(BranchRlc, OpenCapacitorAndValuesOutOfRange) {
    BRANCH_RLC(1, 1, 1, 1, 1, 2.0, 0.01, 0.0);
    EXPECT_EQ(coefficients(1), std::vector<double>(6, 0.0));
    EXPECT_EQ(std::make_tuple(NET.CAPACITR(1, 1), NET.G2C(1, 1), gm(1, 2)), std::make_tuple(LTRUE, 0.0, 0.0));
    EXPECT_STOPS(BRANCH_RLC(1, 1, 0, 1, 0, 0.0, NAN, 0.0),
                 " Branch            1  in SS            1\n has R, L or C values out of range.\n" +
                     abort_frame("BRANCH_RLC"));
    SetUp();
    EXPECT_STOPS(BRANCH_RLC(1, 1, 0, 1, 0, 0.0, 1e306, 0.0),
                 " Branch            1  in SS            1\n has R, L or C values out of range.\n" +
                     abort_frame("BRANCH_RLC"));
    SetUp();
    SSINIT();
    EXPECT_TRUE(capture([] { BRANCH_RLC(1, 1, 1, 0, 0, 2.0, 0.0, 0.0); }).aborted);
}

// Values set in the begin pass give the voltages of a map holding them.
TEST_F(BranchRlc, BeginPassValuesMatchTheMap) {
    std::vector<double> runs[2];
    for (int variant = 0; variant < 2; ++variant) {
        tables(2, 3, 50e-6);
        NET.GIDEAL(1) = 1e6;
        const int32_t src = branch({0, 1, 0.01, 0, 0, 100.0});
        if (variant == 0) {
            branch({1, 2, 3.0, 0.5});
            BRANCH_RLC(2, 1, 1, 1, 0, 0.5, 0.01, 0.0);
        } else {
            branch({1, 2, 0.5, 0.01});
        }
        branch({2, 0, 10.0});
        options(true, false);
        start();
        for (int n = 0; n < 400; ++n) {
            NET.EBR(src, 1) = 100.0 * std::sin(2.0 * M_PI * 50.0 * n * 50e-6);
            ASSERT_TRUE(step());
            runs[variant].push_back(V(1));
            runs[variant].push_back(V(2));
        }
    }
    EXPECT_EQ(runs[0], runs[1]);
}

}  // namespace
