// The compensator's services: firing loop, firing pulses, valve decision,
// capacitor-stage switching and transformer saturation.
#include <gtest/gtest.h>

#include <cmath>

#include "models/svc/svc_services.h"
#include "models/tests/svc_circuit.h"

namespace {

class SvcServices : public testing::Test {
protected:
    void SetUp() override {
        svc_test::tables();
        POINTER_BLOCK.NEXC = 100;
    }
    void TearDown() override { reset_all_engine_state(); }
    static double& S(int32_t k) { return STORAGE.STOR(100 + k); }
};

TEST_F(SvcServices, LoopStepFromKnownState) {
    S(29) = 1.0;
    S(30) = 0.01;
    double s = 0.0, c = 0.0, theta = 0.0;
    SVC_PLL(100.0, -30.0, -70.0, s, c, 50.0, 2000.0, 100.0, 60.0, theta);
    EXPECT_NEAR(theta, 1.0221033956384205, 1e-15);
    EXPECT_NEAR(S(29), 1.0221033956384205, 1e-15);
    EXPECT_NEAR(S(30), 0.01004498682069624, 1e-17);
    EXPECT_EQ(POINTER_BLOCK.NEXC, 100);
}

// A large integral holds the loop at its upper or lower limit; the integral itself is not limited.
TEST_F(SvcServices, LoopHeldAtItsLimits) {
    for (double integral : {10.0, -10.0}) {
        S(29) = 1.0;
        S(30) = integral;
        double s, c, theta = 0.0;
        SVC_PLL(100.0, -30.0, -70.0, s, c, 50.0, 2000.0, 100.0, 60.0, theta);
        const double factor = integral > 0.0 ? 1.2 : 0.8;
        EXPECT_NEAR(theta - 1.0, factor * 2.0 * M_PI * 60.0 * svc_test::kStep, 1e-15);
        EXPECT_NEAR(S(30), integral + 4.498682069624e-5, 1e-15);
    }
}

class LoopLock : public SvcServices, public testing::WithParamInterface<double> {};

// At 60 and at 50 Hz the loop settles with va = V sin(theta).
TEST_P(LoopLock, SettlesOnPhaseA) {
    const double f = GetParam(), V = 100.0;
    double s, c, theta = 0.0, worst = 0.0;
    for (int n = 0; n < 40000; ++n) {
        const double p = 2.0 * M_PI * f * n * svc_test::kStep + 0.3;
        const double va = V * std::sin(p);
        SVC_PLL(va, V * std::sin(p - 2.094395102393195), V * std::sin(p + 2.094395102393195), s, c, 50.0, 2000.0,
                100.0, 60.0, theta);
        if (n > 36000) worst = std::max(worst, std::fabs(va - V * s));
    }
    EXPECT_LT(worst, 0.05 * V);
}

INSTANTIATE_TEST_SUITE_P(Frequencies, LoopLock, testing::Values(60.0, 50.0),
                         [](const testing::TestParamInfo<double>& i) { return i.param == 60.0 ? "At60Hz" : "At50Hz"; });

struct FiringRow {
    const char* name;
    double alpha;
    int32_t enable;
    int expected_pulses;  // of the twelve
};
void PrintTo(const FiringRow& c, std::ostream* os) { *os << c.name; }

class Firing : public SvcServices, public testing::WithParamInterface<FiringRow> {};

// With the loop at 0.5 rad the valve angles of the first group are 0.5,
// 4.69, 2.59, 3.64, 1.55, 5.74 and of the second 4.17, 2.07, 6.26, 1.02,
// 5.21, 3.12.
TEST_P(Firing, PulsesOfBothGroups) {
    const FiringRow& r = GetParam();
    S(29) = 0.5 - 2.0 * M_PI * 60.0 * svc_test::kStep;  // the loop steps to 0.5 on zero voltage
    SVC_FIRING(r.alpha, 0.0, 0.0, r.enable, 0.0, 0.0, 0.0);
    ASSERT_NEAR(S(29), 0.5, 1e-12);
    int on = 0;
    for (int k : {1, 2, 3, 4, 5, 6, 31, 32, 33, 34, 35, 36}) on += S(k) == 1.0 ? 1 : (S(k) == 0.0 ? 0 : 100);
    EXPECT_EQ(on, r.expected_pulses);
    if (r.alpha == 1.0 && r.enable == 1) {
        for (int k : {3, 5, 32, 34, 36}) EXPECT_EQ(S(k), 1.0) << k;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Angles, Firing,
    testing::Values(FiringRow{"AlphaOne", 1.0, 1, 5}, FiringRow{"AlphaPi", M_PI, 1, 0},
                    FiringRow{"NegativeAlpha", -0.1, 1, 6}, FiringRow{"Disabled", -0.1, 0, 0}),
    [](const testing::TestParamInfo<FiringRow>& i) { return i.param.name; });

struct ValveRow {
    const char* name;
    double x, p, R;
    double R_after;
    int32_t result;
};
void PrintTo(const ValveRow& c, std::ostream* os) { *os << c.name; }

class Valve : public testing::TestWithParam<ValveRow> {};

TEST_P(Valve, Decision) {
    const ValveRow& v = GetParam();
    double R = v.R;
    int32_t result = 7;
    SVC_VALVE(v.x, v.p, R, 0.01, 1e6, result);
    EXPECT_EQ(R, v.R_after);
    EXPECT_EQ(result, v.result);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, Valve,
    testing::Values(ValveRow{"ConductingReverses", -1e-9, 0.0, 0.01, 1e6, -1},
                    ValveRow{"ConductingForward", 0.0, 0.0, 0.01 + 5e-7, 0.01 + 5e-7, 0},
                    ValveRow{"BlockingFired", 1e-9, 1.0, 1e6, 0.01, 1},
                    ValveRow{"BlockingUnfired", 5.0, 0.5, 1e6, 1e6, 0},
                    ValveRow{"BlockingReverse", -5.0, 1.0, 1e6, 1e6, 0},
                    ValveRow{"NeitherLeftAlone", -5.0, 1.0, 50.0, 50.0, 7}),
    [](const testing::TestParamInfo<ValveRow>& i) { return i.param.name; });

TEST_F(SvcServices, SaturationBeyondAndInsideTheKnee) {
    const double Ir = 0.7530655685082074;
    S(1) = 50.0;
    S(2) = 1.25;
    double psi = 0.0;
    EXPECT_NEAR(SVC_SATUR(100.0, 0.3, 1.2, 230.0, Ir, 60.0, 0.05, psi), -0.13963850161046912, 1e-15);
    EXPECT_NEAR(S(1), 175.7887478598694, 1e-12);
    EXPECT_NEAR(S(2), 1.2556447186964967, 1e-15);
    EXPECT_EQ(psi, S(2));
    EXPECT_EQ(POINTER_BLOCK.NEXC, 102);
    S(4) = 0.9;
    EXPECT_EQ(SVC_SATUR(-100.0, 0.3, 1.2, 230.0, Ir, 60.0, 0.05, psi), 0.0);
    S(6) = -1.3;
    EXPECT_GT(SVC_SATUR(-100.0, 0.3, 1.2, 230.0, Ir, 60.0, 0.05, psi), 0.0);
}

class CapStage : public SvcServices {
protected:
    // Both banks at two stages of 2 F each, base 0.5 F.
    void SetUp() override {
        SvcServices::SetUp();
        SvcWork& w = SVC_WORK;
        w = SvcWork{};
        w.c.NCAP = 4;
        for (int g = 0; g < 6; ++g) {
            w.count[g] = 2.0;
            w.cap[g] = 4.0;
        }
    }
};

// Switching on waits for the difference to the incoming stage to change sign.
TEST_F(CapStage, OnAtTheZeroOfTheDifference) {
    SvcWork& w = SVC_WORK;
    w.vg[0] = 1.0;
    w.vg[1] = 2.0;
    w.vg[2] = -3.0;
    w.vst[0][2] = 1.5;  // the incoming stage of group 1
    EXPECT_EQ(SVC_CAPSTAGE(1, 3, 2.0, 0.5, 0), 0);
    EXPECT_EQ(w.dlast[0], -0.5);
    EXPECT_EQ(SVC_CAPSTAGE(1, 3, 2.0, 0.5, 1), 0);  // same sign
    w.vst[0][2] = 1.0;
    EXPECT_EQ(SVC_CAPSTAGE(1, 3, 2.0, 0.5, 1), 0);  // a product of exactly 0 still waits
    w.vst[0][2] = 0.5;
    w.dlast[0] = -0.5;
    EXPECT_EQ(SVC_CAPSTAGE(1, 3, 2.0, 0.5, 1), 1);
    EXPECT_EQ(w.count[0], 3.0);
    EXPECT_EQ(w.cap[0], 6.0);
    // Charges 4+1, 8, -12 over 6, 4, 4 share out around the bank.
    const double ceq = 1.0 / (1.0 / 6 + 0.25 + 0.25);
    EXPECT_NEAR(w.vg[0], (5.0 * 0.5 - 8.0 / 4 + 12.0 / 4) * ceq / 6.0, 1e-15);
    EXPECT_NEAR(w.vg[0] + w.vg[1] + w.vg[2], 0.0, 1e-15);
    EXPECT_EQ(SVC_CAPSTAGE(1, 3, 2.0, 0.5, 1), 0);  // at the target
}

// Switching off waits for a current zero; the outgoing stage keeps the voltage.
TEST_F(CapStage, OffAtACurrentZeroInTheStarBank) {
    SvcWork& w = SVC_WORK;
    w.vg[3] = -2.0;  // node voltages 4, 5, 6
    w.vg[4] = 1.0;
    w.vg[5] = 1.5;
    w.count[3] = 1.0;
    w.cap[3] = 2.0;
    w.ilast[3] = 1.0;
    w.inow[3] = 0.5;
    EXPECT_EQ(SVC_CAPSTAGE(4, 0, 2.0, 0.5, -1), 0);
    w.inow[3] = -0.5;
    EXPECT_EQ(SVC_CAPSTAGE(4, 0, 2.0, 0.5, -1), 1);
    EXPECT_EQ(w.vst[3][0], 3.0);
    EXPECT_EQ(w.cap[3], 0.5);
    EXPECT_EQ(w.vg[5], 1.5);
    // Group 4 kept the charge of its base capacitance: 0.5 * 3 with 2 and -5 at 4 F.
    const double ceq = 1.0 / (2.0 + 0.25 + 0.25);
    const double q1 = 1.5, q2 = 4.0 * 0.5, q3 = 4.0 * -3.5;
    EXPECT_NEAR(w.vg[4] - w.vg[3], (q1 * 0.5 - q2 / 4 - q3 / 4) * ceq / 0.5, 1e-14);
    EXPECT_NEAR(w.vg[5] - w.vg[4], (q2 * (2.0 + 0.25) - q3 / 4 - q1 / 0.5) * ceq / 4.0, 1e-14);
}

// An emptied group takes its base capacitance even when a stage is small.
TEST_F(CapStage, EmptiedGroupOfSmallStages) {
    SvcWork& w = SVC_WORK;
    w.count[1] = 1.0;
    w.cap[1] = 2e-7;
    w.ilast[1] = -1.0;
    w.inow[1] = 1.0;
    EXPECT_EQ(SVC_CAPSTAGE(2, 0, 2e-7, 1e-8, -1), 1);
    EXPECT_EQ(w.cap[1], 1e-8);
    w.count[2] = 0.0;
    w.cap[2] = 1e-8;
    w.vg[2] = 1.0;
    w.dlast[2] = -1.0;
    EXPECT_EQ(SVC_CAPSTAGE(3, 1, 2e-7, 1e-8, 1), 1);
    EXPECT_EQ(w.cap[2], 2e-7);
}

}  // namespace
