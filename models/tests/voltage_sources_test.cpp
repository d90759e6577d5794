// Voltage sources: the EMF after every call while the network evaluates
// them again inside its steps, the ramp, the DC form, the three phases,
// the pointer advances and the checks of the first step.
#include <gtest/gtest.h>

#include "engine/pointer_block.h"
#include "models/sources/voltage_sources.h"
#include "models/tests/rectifier_circuit.h"
#include "platform/tests/support/capture.h"

namespace {

using rectifier::Circuit;
constexpr double kW = 2.0 * M_PI * 50.0;

class VoltageSource : public testing::Test {
protected:
    void TearDown() override { reset_all_engine_state(); }
    // Three source branches; steps are called by hand.
    static void tables() {
        Circuit::tables(3, 3);
        for (int32_t k = 1; k <= 3; ++k) NET.SOURCE(Circuit::branch(0, k, 1.0), 1) = LTRUE;
    }
    static void at_step(int n) {
        RUN_CLOCK.TIME = n * rectifier::kStep;
        RUN_CLOCK.PREV_TIME = (n - 1) * rectifier::kStep;
        RUN_FLAGS.FIRST_STEP_DATA = as_logical(n == 0);
        POINTER_BLOCK.NSTORI = POINTER_BLOCK.NSTORF = POINTER_BLOCK.NSTORL = 1;
    }
};

// The half-wave rectifier switches inside its steps, where the solution
// moves the source's angle; each call continues from there.
TEST_F(VoltageSource, SinusoidAfterEveryCall) {
    Circuit c = rectifier::half_wave();
    double worst = 0.0;
    c.models = [&] {
        VSRC1P(1, 1, 0.0, LTRUE, 100.0, kW, 0.0);
        worst = std::max(worst, std::fabs(NET.EBR(1, 1) - 100.0 * std::sin(kW * RUN_CLOCK.TIME)));
    };
    const Captured out = capture([&] {
        c.begin();
        for (int n = 0; n <= 40000; ++n) c.step();
    });
    ASSERT_FALSE(out.aborted) << out.out;
    EXPECT_LT(worst, 1e-11 * 100.0);
    EXPECT_EQ(NET.THISBR(1, 1), 1);
    EXPECT_EQ(STORAGE.STORI(1), VSRC_AC_KIND);
}

TEST_F(VoltageSource, RampAndDirectCurrent) {
    tables();
    for (int n = 0; n <= 5; ++n) {
        at_step(n);
        VSRC1P(1, 1, 4 * rectifier::kStep, LFALSE, 10.0, kW, 0.0);
        EXPECT_NEAR(NET.EBR(1, 1), n < 4 ? 10.0 * n / 4.0 : 10.0, 1e-13) << n;
        VSRC1P(1, 2, 0.0, LFALSE, 10.0, kW, 0.0);
        EXPECT_EQ(NET.EBR(2, 1), 10.0);
        // A ramp of one step or less: nothing until it, then all.
        VSRC1P(1, 3, rectifier::kStep, LTRUE, 10.0, kW, 0.5);
        EXPECT_NEAR(NET.EBR(3, 1), n < 1 ? 0.0 : 10.0 * std::sin(kW * RUN_CLOCK.TIME + 0.5), 1e-12) << n;
        EXPECT_EQ(POINTER_BLOCK.NSTORI, 19);
        EXPECT_EQ(POINTER_BLOCK.NSTORF, 25);
        EXPECT_EQ(POINTER_BLOCK.NSTORL, 4);
    }
    EXPECT_EQ(STORAGE.STORI(1), 0);
    EXPECT_EQ(STORAGE.STORI(13), VSRC_AC_KIND);
}

TEST_F(VoltageSource, ThreePhasesOfOneAngle) {
    tables();
    const double phi = 0.25;
    for (int n = 0; n <= 1000; ++n) {
        at_step(n);
        VSRC3P(1, 1, 2, 3, 0.0, LTRUE, 10.0, -kW, phi);
        const double theta = std::fmod(-kW * RUN_CLOCK.TIME + 200 * M_PI, 2 * M_PI);
        for (int k = 0; k < 3; ++k) {
            const double shift = k == 0 ? 0.0 : k == 1 ? -2 * M_PI / 3 : 2 * M_PI / 3;
            ASSERT_NEAR(NET.EBR(k + 1, 1), 10.0 * std::sin(theta + phi + shift), 1e-11) << n << " " << k;
            ASSERT_NEAR(STORAGE.STORF(8 * k + 8), n == 0 ? 0.0 : theta, 1e-9) << n << " " << k;
        }
        EXPECT_EQ(POINTER_BLOCK.NSTORI, 19);
    }
}

// The angle advances to the previous step's time plus one step, which at
// step 7 of 50 us lies one bit off TIME.
TEST_F(VoltageSource, AngleAdvancesToThePreviousTimePlusAStep) {
    tables();
    for (int n = 0; n <= 7; ++n) {
        at_step(n);
        VSRC1P(1, 1, 0.0, LTRUE, 10.0, kW, 0.0);
    }
    const double t = RUN_CLOCK.PREV_TIME + RUN_CLOCK.DELT;
    ASSERT_NE(t, RUN_CLOCK.TIME);
    EXPECT_EQ(STORAGE.STORF(7), t);
}

TEST_F(VoltageSource, BranchWithoutSeriesSourceStops) {
    tables();
    NET.SOURCE(2, 1) = LFALSE;
    at_step(0);
    const Captured out = capture([] { VSRC3P(1, 1, 2, 3, 0.0, LTRUE, 10.0, kW, 0.0); });
    EXPECT_TRUE(out.aborted);
    EXPECT_NE(out.out.find("Branch 2 of subsystem 1 has no series source (letter E):"), std::string::npos) << out.out;
    EXPECT_NE(out.out.find("3PVSRC"), std::string::npos) << out.out;
    tables();  // the stop freed the storage
    NET.SOURCE(2, 1) = LFALSE;
    at_step(0);
    const Captured single = capture([] { VSRC1P(1, 2, 0.0, LTRUE, 10.0, kW, 0.0); });
    EXPECT_TRUE(single.aborted);
    EXPECT_EQ(single.out, " ***ERROR** Branch 2 of subsystem 1 has no series source (letter E):\n"
                          " ***ERROR** the network solution would never see its source voltage.\n" +
                              abort_frame("1PVSRC"));
}

TEST_F(VoltageSource, RecordOutsideTheStorageStops) {
    tables();
    at_step(0);
    VSRC1P(1, 1, 0.0, LTRUE, 10.0, kW, 0.0);
    STORAGE.STORI(3) = STORAGE.STORF.size();  // the reals' base
    NET.SRC_POS = 1;
    const Captured out = capture([] { VSRC_EVAL(); });
    EXPECT_TRUE(out.aborted);
    EXPECT_NE(out.out.find("The voltage source record at STORI(1)"), std::string::npos) << out.out;
    EXPECT_NE(out.out.find("VSRC_EVAL"), std::string::npos) << out.out;
}

}  // namespace
