// The EMF setters: ramps, the DC form, three phases on high branch
// numbers, polarities and delta of the equivalent system, and LINTERP2.
#include <gtest/gtest.h>

#include "engine/pointer_block.h"
#include "models/sources/emf_setters.h"
#include "models/tests/rectifier_circuit.h"
#include "platform/tests/support/capture.h"

namespace {

using rectifier::kStep;
constexpr double kW = 2.0 * M_PI * 50.0;

class EmfSetter : public testing::Test {
protected:
    // nb source branches, stepped by hand.
    static void tables(int32_t nb) {
        rectifier::Circuit::tables(1, nb);
        NET.NBRANCHES(1) = nb;
        for (int32_t b = 1; b <= nb; ++b) NET.SOURCE(b, 1) = LTRUE;
    }
    static void at_step(int n) {
        RUN_CLOCK.TIME = n * kStep;
        RUN_FLAGS.FIRST_STEP_DATA = as_logical(n == 0);
        POINTER_BLOCK.NEXC = 0;
        POINTER_BLOCK.NSTORF = 1;
    }
    void TearDown() override { reset_all_engine_state(); }
    static double E(int32_t b) { return NET.EBR(b, 1); }
};

TEST_F(EmfSetter, SinglePhaseRampAndDirectCurrent) {
    tables(3);
    for (int n = 0; n <= 400; ++n) {
        at_step(n);
        EBR1P2(1, 1, 10.0, kW, 0.5, 4 * kStep, 0);
        EBR1P2(1, 2, 10.0, kW, 0.5, 4 * kStep, 1);
        EBR1P2(1, 3, 10.0, kW, 0.0, kStep, 1);  // a ramp of one step: full from the second
        const double m = n < 4 ? 10.0 * n / 4 : 10.0;
        ASSERT_NEAR(E(1), m * std::sin(kW * RUN_CLOCK.TIME + 0.5), 1e-10) << n;
        ASSERT_NEAR(E(2), m, 1e-13) << n;
        ASSERT_EQ(E(3), n == 0 ? 0.0 : 10.0) << n;
        ASSERT_EQ(POINTER_BLOCK.NEXC, 3);
        ASSERT_EQ(POINTER_BLOCK.NSTORF, 7);
    }
}

TEST_F(EmfSetter, ThreePhasesOnHighBranchNumbers) {
    tables(1302);
    for (int n = 0; n <= 3; ++n) {
        at_step(n);
        const Captured out = capture([] { EBR3P2(1, 1300, 1301, 1302, 10.0, kW, 0.0, 0.0); });
        ASSERT_FALSE(out.aborted) << out.out;
        const double t = kW * RUN_CLOCK.TIME;
        EXPECT_NEAR(E(1300), 10.0 * std::sin(t), 1e-12);
        EXPECT_NEAR(E(1301), 10.0 * std::sin(t - 2 * M_PI / 3), 1e-12);
        EXPECT_NEAR(E(1302), 10.0 * std::sin(t + 2 * M_PI / 3), 1e-12);
    }
    at_step(0);
    const Captured negative = capture([] { EBR3P2(1, 1300, -1301, 1302, 10.0, kW, 0.0, 0.0); });
    EXPECT_TRUE(negative.aborted);
    EXPECT_NE(negative.out.find("Negative Branch #"), std::string::npos) << negative.out;
}

struct SystemCase {
    const char* name;
    int32_t ss, a;
    double frequency, gain, lead;
};
void PrintTo(const SystemCase& c, std::ostream* os) { *os << c.name; }

class EquivalentSystem : public EmfSetter, public testing::WithParamInterface<SystemCase> {};

TEST_P(EquivalentSystem, PhasesOfTheConnection) {
    const SystemCase& k = GetParam();
    tables(3);
    const double w = std::fabs(k.frequency), run_up = 3.0 * 2.0 * M_PI / std::max(w, 1e-30);
    for (int n = 0; n <= 1200; ++n) {
        at_step(n);
        ESYS1(k.ss, k.a, 2, 3, 10.0, k.frequency, 0.3);
        ASSERT_EQ(POINTER_BLOCK.NEXC, 1);
        const double t = RUN_CLOCK.TIME;
        double m = 10.0 * k.gain;
        if (k.frequency < 0.0 && t < run_up) m *= t / run_up;
        const double alpha = w * t + 0.3 + k.lead;
        const double pol[] = {k.a < 0 ? -1.0 : 1.0, 1.0, 1.0}, shift[] = {0.0, -2 * M_PI / 3, 2 * M_PI / 3};
        for (int j = 0; j < 3; ++j)
            ASSERT_NEAR(E(j + 1), m * pol[j] * std::sin(alpha + shift[j]), 1e-6) << n << " " << j;
    }
}

INSTANTIATE_TEST_SUITE_P(
    All, EquivalentSystem,
    testing::Values(SystemCase{"Star", 1, 1, kW, 1.0, 0.0}, SystemCase{"PhaseAInverted", 1, -1, kW, 1.0, 0.0},
                    SystemCase{"Delta", -1, 1, kW, std::sqrt(3.0), 0.523598776},
                    SystemCase{"ZeroFrequency", 1, 1, 0.0, 1.0, 0.0},
                    SystemCase{"RunUpFromAngleZero", 1, 1, -kW, 1.0, 0.0}),
    [](const testing::TestParamInfo<SystemCase>& p) { return std::string(p.param.name); });

// Past its run-up, a system of negative frequency runs at the angle of one
// of the positive frequency: both start at angle 0.
TEST_F(EmfSetter, EquivalentSystemOfEitherSignAtOneAngleAfterTheRunUp) {
    tables(6);
    const double run_up = 3.0 * 2.0 * M_PI / kW;
    int compared = 0;
    for (int n = 0; n <= 2000; ++n) {
        at_step(n);
        ESYS1(1, 1, 2, 3, 10.0, kW, 0.3);
        ESYS1(1, 4, 5, 6, 10.0, -kW, 0.3);
        ASSERT_EQ(STORAGE.STOR(2), STORAGE.STOR(1)) << n;
        if (RUN_CLOCK.TIME < run_up) continue;
        for (int32_t b = 1; b <= 3; ++b) ASSERT_EQ(E(b + 3), E(b)) << n << " " << b;
        ++compared;
    }
    EXPECT_GT(compared, 700);
}

// A branch without a series source would never see the EMF written into
// it: the first step stops.
TEST_F(EmfSetter, EquivalentSystemOnABranchWithoutSourceStops) {
    tables(3);
    NET.SOURCE(2, 1) = LFALSE;
    at_step(0);
    const Captured out = capture([] { ESYS1(1, 1, -2, 3, 10.0, kW, 0.0); });
    EXPECT_TRUE(out.aborted);
    EXPECT_EQ(out.out, " ***ERROR** Branch 2 of subsystem 1 has no series source (letter E):\n"
                       " ***ERROR** the network solution would never see its source voltage.\n" +
                           abort_frame("ESYS1"));
}

TEST(Linterp2, EndsAndMiddle) {
    EXPECT_EQ(LINTERP2(1.5, 1, 10, 2, 20), 15.0);
    EXPECT_EQ(LINTERP2(0, 1, 10, 2, 20), 10.0);
    EXPECT_EQ(LINTERP2(3, 1, 10, 2, 20), 20.0);
    EXPECT_EQ(LINTERP2(1.5, 1, 10, 1 + 1e-21, 20), 20.0);
}

}  // namespace
