// Current sources against ngspice and their injection-branch set-up; the
// source data conversions.
#include <gtest/gtest.h>

#include "engine/pointer_block.h"
#include "models/branch_changes.h"
#include "models/sources/current_sources.h"
#include "models/sources/source_data.h"
#include "models/tests/ngspice_run.h"
#include "models/tests/rectifier_circuit.h"
#include "platform/tests/support/capture.h"

namespace {

using rectifier::Circuit;

class CurrentSource : public testing::Test {
protected:
    void TearDown() override { reset_all_engine_state(); }
};

// 1 kA at 50 Hz into 10 ohm in parallel with 100 uF.
TEST_F(CurrentSource, SinusoidIntoParallelRC) {
    ASSERT_TRUE(have_ngspice());
    const auto ref = ngspice_samples("I1 0 n1 SIN(0 1000 50)\nR1 n1 0 10\nC1 n1 0 100u\n", "v(n1)", 0.2);
    Circuit c;
    Circuit::tables(1, 3);
    const int32_t src = Circuit::branch(0, 1, 1e6, true);
    Circuit::branch(1, 0, 10.0);
    BRANCH_RLC(Circuit::branch(1, 0, 1.0), 1, 0, 0, 1, 0.0, 0.0, 100.0);
    c.setup = [] { ISRC_AC_INIT(1, 1000.0, 50.0, 0.0, 0.0); };
    c.models = [src] { ISRC_AC(src, 1); };
    double worst = 0.0, amplitude = 0.0;
    std::vector<double> v;
    const Captured out = capture([&] {
        c.begin();
        for (size_t n = 0; n < ref.size(); ++n) {
            c.step();
            worst = std::max(worst, std::fabs(NET.VNODE(1, 1) - ref[n][0]));
            v.push_back(NET.VNODE(1, 1));
        }
    });
    ASSERT_FALSE(out.aborted) << out.out;
    EXPECT_LT(worst, 1e-3 * 9540.28);
    // A quarter period apart, the squares of a sinusoid add up to its
    // amplitude's; the trapezoidal rule's capacitor is 2e-5 stiffer at
    // 50 Hz.
    for (size_t n = 3000; n + 100 < v.size(); ++n) amplitude = std::max(amplitude, std::hypot(v[n], v[n + 100]));
    EXPECT_NEAR(amplitude, 9540.28, 0.02);
    EXPECT_TRUE(is_true(NET.DEFRDBR(src, 1)));
    ASSERT_EQ(BRCHANGE_LIST.count, 1);
    EXPECT_EQ(BRCHANGE_LIST.icol(1, 1), 9);
    EXPECT_EQ(BRCHANGE_LIST.icol(2, 1), src);
    EXPECT_EQ(BRCHANGE_LIST.icol(8, 1), 1);
}

TEST_F(CurrentSource, ConstantRampAndAngle) {
    Circuit::tables(1, 2);
    Circuit::branch(0, 1, 1e6, true);
    Circuit::branch(0, 1, 1e6, true);
    POINTER_BLOCK.NRTCF = POINTER_BLOCK.NRTCI = 1;
    ISRC_AC_INIT(0, 5.0, 50.0, 30.0, 0.0);
    ISRC_AC_INIT(1, 2.0, 1000.0, 30.0, 4 * rectifier::kStep);
    const double w = 2 * M_PI * 1000.0;
    for (int n = 0; n <= 100; ++n) {
        RUN_CLOCK.TIME = n * rectifier::kStep;
        RUN_FLAGS.FIRST_STEP_DATA = as_logical(n == 0);
        POINTER_BLOCK.NRTCF = POINTER_BLOCK.NRTCI = POINTER_BLOCK.NSTORF = 1;
        ISRC_AC(1, 1);
        ISRC_AC(2, 1);
        EXPECT_EQ(NET.CCBR(1, 1), 5.0);
        const double m = n < 4 ? 2.0 * n / 4.0 : 2.0;
        const double theta = std::fmod(M_PI / 6 + w * RUN_CLOCK.TIME, 2 * M_PI);
        ASSERT_NEAR(NET.CCBR(2, 1), m * std::sin(theta), 1e-9) << n;
        ASSERT_NEAR(STORAGE.STORF(2), theta, 1e-9) << n;
        ASSERT_EQ(POINTER_BLOCK.NSTORF, 3);
    }
    EXPECT_EQ(NET.CCBRD(2, 1), 0.0);  // 0 x sin 30 at the ramp's start
}

TEST_F(CurrentSource, NortonLowersTheStartNodeOnlyOnAChange) {
    Circuit::tables(3, 1);
    Circuit::branch(2, 3, 1e6, true);
    NET.GEQ(1, 1) = 0.5;
    NET.MXINV(1) = 4;
    ISRC_NORTON(1, 1, 0.5 + 1e-33, 7.0);
    EXPECT_EQ(NET.CCBR(1, 1), 7.0);
    EXPECT_EQ(NET.MXINV(1), 4);
    ISRC_NORTON(1, 1, 0.25, 8.0);
    EXPECT_EQ(NET.GEQ(1, 1), 0.25);
    EXPECT_EQ(NET.MXINV(1), 2);
}

TEST_F(CurrentSource, UnswitchedBranchIsWarnedOf) {
    Circuit::tables(1, 1);
    Circuit::branch(0, 1, 10.0);
    const Captured out = capture([] { ISRC_BRANCH(1, 1); });
    EXPECT_NE(out.out.find("Branch 1 of subsystem 1 is not a switched branch"), std::string::npos) << out.out;
}

TEST(SourceData, SeriesAndParallelPairs) {
    double a = 0, b = 0, r = 0, x = 0;
    RX_TO_PARALLEL(3.0, 4.0, a, b);
    EXPECT_DOUBLE_EQ(a, 25.0 / 3.0);
    EXPECT_DOUBLE_EQ(b, 6.25);
    RX_TO_SERIES(a, b, r, x);
    EXPECT_DOUBLE_EQ(r, 3.0);
    EXPECT_DOUBLE_EQ(x, 4.0);
    RX_TO_PARALLEL(1e-4, 1e-4, a, b);
    EXPECT_EQ(a + b, 0.0);
}

TEST(SourceData, ThreePhaseSourceImpedances) {
    double R, L, Rp, Lp;
    SOURCE3R(1, 1, 2.0, 60.0, 3.0, 45.0, 50.0, R, L, Rp, Lp);
    EXPECT_NEAR(R, 1.00000000000003, 1e-14);
    EXPECT_NEAR(L, 0.00551328895421786, 1e-17);
    EXPECT_NEAR(Rp, 4.24264068711923, 1e-13);
    EXPECT_NEAR(Lp, 0.0135047447423568, 1e-16);
    SOURCE3R(1, 0, 2.0, 90.0, 3.0, 45.0, 50.0, R, L, Rp, Lp);
    EXPECT_EQ(R, 0.0);
    EXPECT_DOUBLE_EQ(L, 2.0 / (2 * M_PI * 50));
    EXPECT_EQ(Rp + Lp, 0.0);
    SOURCE3R(1, 0, 2.0, 0.0, 3.0, 45.0, 50.0, R, L, Rp, Lp);
    EXPECT_EQ(R, 2.0);
    EXPECT_EQ(L, 0.0);
    const Captured out = capture([&] { SOURCE3R(2, 0, 0.0, 0.0, 0.0, 0.0, 50.0, R, L, Rp, Lp); });
    EXPECT_TRUE(out.aborted);
    EXPECT_NE(out.out.find("Positive sequence impedance too small"), std::string::npos) << out.out;
}

class AcSource : public testing::Test {
protected:
    void SetUp() override {
        Circuit::tables(1, 1);
        POINTER_BLOCK.NRTCF = 1;
    }
    void TearDown() override { reset_all_engine_state(); }
};

TEST_F(AcSource, InternalEmfBehindTheImpedance) {
    AC_SOURCE(1, 11.0, 50.0, 0.0, 1.0, 0.0, 0.0, 3.0, 1.5, 1.0, 1.0, 7.0);
    EXPECT_NEAR(STORAGE.RTCF(1), 9.20481668137617, 1e-13);
    EXPECT_NEAR(STORAGE.RTCF(2), 314.159265358979, 1e-12);
    EXPECT_NEAR(STORAGE.RTCF(3), -0.0120961841971794, 1e-15);
    EXPECT_EQ(STORAGE.RTCF(4), 7.0);
    EXPECT_EQ(POINTER_BLOCK.NRTCF, 5);
}

TEST_F(AcSource, ZeroVoltageAndTooSmallFrequencyStop) {
    struct Case {
        int32_t type;
        double vll, f;
        const char* message;
    };
    for (const Case& k : {Case{1, 0.0, 50.0, "Zero voltage specified for an AC source"},
                          Case{3, 11.0, 0.0, "Frequency too small"}, Case{5, 11.0, 1e-21, "Frequency too small"}}) {
        SetUp();
        const Captured out =
            capture([&] { AC_SOURCE(k.type, k.vll, k.f, 0.0, 1.0, 0.01, 10.0, 3.0, 1.5, 1.0, 1.0, 7.0); });
        EXPECT_TRUE(out.aborted) << k.type;
        EXPECT_NE(out.out.find(k.message), std::string::npos) << out.out;
        EXPECT_NE(out.out.find("AC_SOURCE"), std::string::npos) << out.out;
    }
    SetUp();
    const Captured warned = capture([] { AC_SOURCE(1, -11.0, 50.0, 0.0, 1.0, 0.0, 0.0, 3.0, 1.5, 1.0, 1.0, 7.0); });
    EXPECT_FALSE(warned.aborted);
    EXPECT_NE(warned.out.find("Negative manitude specified for an AC source"), std::string::npos) << warned.out;
}

}  // namespace
