// Synchronous-machine support routines and the small characteristics.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/pointer_block.h"
#include "models/machines/sync_machine_support.h"
#include "network/tests/solution_circuit.h"

namespace {

class MachineBlock : public SolutionTest {
protected:
    void SetUp() override {
        SolutionTest::SetUp();
        allocate({{ND_NODES, 2}, {ND_SUBSYS, 1}, {ND_BRANCHES, 2}, {ND_SPARSITY, 20}, {ND_STOR, 300},
                  {ND_RTCF, 100}, {ND_STORF, 10}, {ND_STORI, 10}});
        POINTER_BLOCK.NEXC = 100;  // the block's position n is STOR(100 + n)
        CURRENT_IDS = {1, 2};
    }
    static double& pos(int32_t n) { return STORAGE.STOR(100 + n); }
    // Typical data of the class that g asks for.
    static void defaults(double g) {
        pos(24) = -g;
        pos(60) = 2.0;
        MAC100_DEFAULTS();
    }
};

TEST_F(MachineBlock, ClassesAndTheirCurves) {
    defaults(600.0);  // class A: curve 1 normalised by the first form
    EXPECT_EQ(pos(62), 1.0);
    EXPECT_NEAR(pos(66), 0.9835502633219013, 1e-15);
    EXPECT_NEAR(pos(80), 0.6456031283515419, 1e-15);
    EXPECT_EQ(pos(58), 373.3 / 2.0);
    defaults(500.0);  // class B: curve 2 by the second form
    EXPECT_EQ(pos(24), 0.066);
    EXPECT_NEAR(pos(83), 1.7023809523809523, 1e-15);
    EXPECT_NEAR(pos(84), 1.0, 1e-15);
    EXPECT_NEAR(pos(89), 8.372412008281573, 1e-14);
    EXPECT_NEAR(pos(90), 0.6974436648017064, 1e-15);
    defaults(10.5);
    EXPECT_EQ(pos(24), 0.066);
    defaults(10.0);  // class C
    EXPECT_EQ(std::make_tuple(pos(24), pos(100)), std::make_tuple(0.0767, 0.642));
    double y = 0.0, s = 0.0;
    SAT_CURVE_EVAL(1.0, y, s, 63);
    EXPECT_NEAR(y, 0.5176215384615385, 1e-15);
    // The same curve as run-time constants, and as the ten-point copy
    // that extrapolates beyond its ninth point.
    for (int32_t k = 61; k <= 80; ++k) STORAGE.RTCF(k + 1) = pos(k);
    SAT_CURVE_EVAL_RTC(1.0, y, s, 63);
    EXPECT_NEAR(y, 0.5176215384615385, 1e-15);
    SAT_CURVE_EVAL_TBL(1.0, y, s, 63);
    EXPECT_NEAR(y, 0.5136101022463351, 1e-15);
}

TEST_F(MachineBlock, CurveChecksWarnOnce) {
    // A curve that rises again is reported once and left in place.
    const double xy[12] = {0.0, 0.0, 1.0, 0.5, 2.0, 0.9, 3.0, 1.6, 4.0, 2.5, -1.0, -1.0};
    for (int32_t k = 0; k < 12; ++k) pos(81 + k) = xy[k];
    pos(27) = 0.1;
    pos(29) = 0.4;
    Captured c = capture([] { MAC100_SAT_CURVE(83); });
    EXPECT_EQ(count_of(c.out, "SATURATION CURVE NOT MONOTONIC ( MAC100/SQC100 )"), 1) << c.out;
    EXPECT_FALSE(c.aborted);
    double x[10] = {0.0, 1.0, 2.0, 3.0, -1.0}, y[10] = {0.0, 0.5, 0.9, 1.6, -1.0};
    c = capture([&] { SAT_CURVE_CHECK(0.5, x, y); });
    EXPECT_EQ(c.out, " ***WARN*** Saturation Curve not Monotonic[           1 :           2 ]\n");
    EXPECT_EQ(std::make_tuple(y[0], x[1], y[1]), std::make_tuple(1.0, 1.0, 1.0));
    // A first y of 1.0 is only tested.
    double x2[10] = {0.0, 1.0, 2.0, -1.0}, y2[10] = {1.0, 1.0, 0.8, -1.0};
    c = capture([&] { SAT_CURVE_CHECK(0.5, x2, y2); });
    EXPECT_EQ(std::make_tuple(c.out, x2[1], y2[2]), std::make_tuple(std::string(), 1.0, 0.8));
}

TEST_F(MachineBlock, InverseAxisMatrixAndDerivatives) {
    const int32_t K = 60;
    pos(K + 1) = 2.0;   // m
    pos(54) = 0.1;      // b = 2.1
    pos(K + 2) = 0.05;  // c = 2.05
    pos(K + 3) = 0.2;   // d = 2.25
    pos(K + 4) = 0.3;   // e = 2.35
    MAC100_MATRICES(K, 3, 0);
    EXPECT_NEAR(pos(K + 13), 3.895870736086175, 1e-13);
    EXPECT_NEAR(pos(K + 18), 2.6032315978455998, 1e-13);
    // The derivative with this inverse turns the axis matrix's own
    // product back into its right-hand side.
    for (int32_t n : {1, 5, 6, 7, 8, 24, 30, 31, 35, 36, 37, 38}) pos(n) = 0.0;
    pos(7) = 1.0;
    double x[3] = {}, y[3] = {}, dx[3], dy[3];
    int32_t o1 = K, o2 = K;
    MAC100_DERIV(x, dx, y, dy, o1, o2);
    EXPECT_EQ(std::make_tuple(o1, o2), std::make_tuple(K + 13, K + 13));
    const double m = 2.0, b = 2.1, c = 2.05, d = 2.25, e = 2.35;
    EXPECT_NEAR(b * dx[0] + m * dx[1] + m * dx[2], 1.0, 1e-12);
    EXPECT_NEAR(m * dx[0] + d * dx[1] + c * dx[2], 0.0, 1e-12);
    EXPECT_NEAR(m * dx[0] + c * dx[1] + e * dx[2], 0.0, 1e-12);
}

TEST_F(MachineBlock, Characteristics) {
    double o1 = 0.0, o2 = 0.0;
    ORDER_LIMIT_CHAR(1, 0.5, 1.2, 0.8, 0.2, 0.3, o1, o2);
    EXPECT_NEAR(o1, 0.6, 1e-15);
    EXPECT_NEAR(o2, 0.6180837211987185, 1e-15);
    // 1 - 0.9 is below 0.1 in binary: the margin is halved.
    ORDER_LIMIT_CHAR(1, 0.5, 1.2, 0.9, 0.2, 0.3, o1, o2);
    EXPECT_NEAR(o1, 0.55, 1e-12);
    // A lower break above the upper one becomes 0.9 of it.
    ORDER_LIMIT_CHAR(1, 0.005, 1.2, 0.8, 0.2, 0.9, o1, o2);
    EXPECT_NEAR(o1, 0.005 * (1.0 + 0.1 / (0.001 + 0.72)), 1e-15);
    EXPECT_EQ(o2, 0.2);
    EXPECT_NEAR(ALGEBRAIC_RATIO(1, 0.5, 0.4, 2, 0.1), 1.0933333333333333, 1e-15);
    STORAGE.RTCF(1) = 2.0;
    STORAGE.RTCF(2) = 0.1;
    STORAGE.RTCF(3) = 0.4;
    double r = 0.0, c2 = 0.0;
    ALGEBRAIC_RATIO_RTC(1, 0.5, r, c2);
    EXPECT_EQ(std::make_tuple(r, c2, POINTER_BLOCK.NRTCF), std::make_tuple(ALGEBRAIC_RATIO(1, 0.5, 0.4, 2, 0.1), 0.1, 4));
    // The angle form latches its ramp between the break levels; with the
    // angles at 0 its order is that of the plain form.
    POINTER_BLOCK.NEXC = 0;
    ORDER_LIMIT_CHAR_S(1, 1.0, 0.5, 0.0, 0.0, 0.0, 1.2, 0.8, 0.2, 0.3, o1, o2);
    EXPECT_EQ(std::make_tuple(STORAGE.STOR(1), POINTER_BLOCK.NEXC), std::make_tuple(1.0, 3));
    EXPECT_NEAR(o2, 0.6180837211987185, 1e-12);
}

// Phase angle between a falling zero of S1 and the next rising zero of S2.
TEST_F(MachineBlock, PhaseAngleOncePerArming) {
    const double dt = 50e-6, f = 50.0;
    RUN_CLOCK.DELT = dt;
    std::vector<double> angles;
    for (int32_t n = 0; n < 2000; ++n) {
        RUN_CLOCK.TIME = n * dt;
        RUN_FLAGS.FIRST_STEP_DATA = as_logical(n == 0);
        POINTER_BLOCK.NEXC = 0;
        POINTER_BLOCK.NSTORF = POINTER_BLOCK.NSTORI = 1;
        const double t = RUN_CLOCK.TIME, w = 2.0 * M_PI * f;
        double ang = 0.0;
        int32_t done = 0;
        ZC_PHASE_ANGLE(std::sin(w * (t - 1e-5)), std::sin(w * (t - 0.01251)), ang, n == 100 || n == 1500 ? 1 : 0, f,
                       done);
        if (done != 0) angles.push_back(ang);
    }
    // S1 falls at 10.01 ms, S2 rises 2.5 ms later: 45 degrees.
    ASSERT_EQ(angles.size(), 2u);
    for (double a : angles) EXPECT_NEAR(a, 45.0, 1e-9);
}

}  // namespace
