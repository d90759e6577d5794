// Cases read from map files: a DC step from rest through the whole step
// routine, and the initial values of "VOLTAGES:" and of the letter i,
// which the first step of a run from data starts from, with and without
// interpolation.
#include "network/branch_currents.h"
#include "network/tests/solution_circuit.h"

namespace {

using SolutionMap = SolutionTest;

TEST_F(SolutionMap, DcStepFromRestThroughTheStepRoutine) {
    read_map("solution_dc_step.map");
    ASSERT_EQ(NET.NBUSES(1), 2);
    ASSERT_EQ(NET.NBRANCHES(1), 3);
    for (bool interpolate : {false, true}) {
        if (interpolate) read_map("solution_dc_step.map");
        options(interpolate, false);
        start();
        const double E = 100.0, R = 2.0, L = 5e-3, dt = 50e-6;
        const double a = dt / (2.0 * L / R), rho = (1.0 - a) / (1.0 + a);
        for (int n = 0; n < 300; ++n) {
            ASSERT_TRUE(step());
            const double expected = (E / R) * (1.0 - std::pow(rho, n) / (1.0 + a));
            ASSERT_NEAR(I(2), expected, 1e-10 * expected) << n;
            ASSERT_NEAR(I(1), expected, 1e-10 * expected) << n;
            ASSERT_EQ(V(2), 0.0);
            ASSERT_DOUBLE_EQ(NET.TIME_SOL, n * dt);
        }
        EXPECT_EQ(NET.NTRIANG(1), 1);
    }
}

// The data describe a DC steady state: every step keeps it.
void expect_steady(SolutionTest& t, int32_t branch, double current, int32_t node, double volts) {
    for (int n = 0; n < 200; ++n) {
        ASSERT_TRUE(t.step());
        ASSERT_NEAR(NET.CBR(branch, 1), current, 1e-12 * std::max(1.0, std::fabs(current))) << n;
        ASSERT_NEAR(NET.VNODE(node, 1), volts, 1e-12 * std::max(1.0, std::fabs(volts))) << n;
    }
}

TEST_F(SolutionMap, CoilCarryingItsInitialCurrentKeepsIt) {
    for (bool interpolate : {false, true}) {
        read_map("solution_rl_initial.map");
        EXPECT_EQ(NET.CBR(2, 1), 10.0 / 3.0);
        EXPECT_EQ(NET.VNODE(1, 1), 20.0 / 3.0);
        options(interpolate, false);
        start();
        expect_steady(*this, 2, 10.0 / 3.0, 1, 20.0 / 3.0);
        EXPECT_NEAR(NET.CBR(1, 1), 10.0 / 3.0, 1e-12);
    }
}

// Without "VOLTAGES:" the coil still starts with its current flowing
// steadily; the node voltage follows from the first solution.
TEST_F(SolutionMap, CoilCarriesItsInitialCurrentWithoutNodeVoltages) {
    for (bool interpolate : {false, true}) {
        read_map("solution_rl_initial_no_volts.map");
        EXPECT_EQ(NET.VNODE(1, 1), 0.0);
        options(interpolate, false);
        start();
        expect_steady(*this, 2, 10.0 / 3.0, 1, 20.0 / 3.0);
    }
}

TEST_F(SolutionMap, CapacitorChargedToTheSourceVoltageStaysCharged) {
    for (bool interpolate : {false, true}) {
        read_map("solution_rc_initial.map");
        options(interpolate, false);
        start();
        expect_steady(*this, 2, 0.0, 1, 10.0);
    }
}

TEST_F(SolutionMap, SeriesBranchesStartFromTheirInitialState) {
    // A resistor in the same branch as the capacitor or the coil: the
    // capacitor holds the node voltage less the drop of the initial current.
    for (bool interpolate : {false, true}) {
        read_map("solution_rlc_initial.map");
        options(interpolate, true);
        start();
        for (int n = 0; n < 200; ++n) {
            ASSERT_TRUE(step());
            ASSERT_NEAR(V(1), 10.0, 1e-11) << n;
            ASSERT_NEAR(I(2), 0.0, 1e-12) << n;
            ASSERT_NEAR(V(2), 2.0, 1e-11) << n;
            ASSERT_NEAR(I(4), 2.0, 1e-11) << n;
        }
    }
}

// What the passes would make of the initial values if the first step of a
// run from data began, like every other run start, with a re-solution at
// the instant reached: the re-solution takes the histories as they stand
// (none yet), so the capacitor is solved as discharged and the state that
// the data gave is lost before the first history step reads it.
TEST_F(SolutionMap, ReSolutionBeforeAnyHistoryWouldLoseTheInitialState) {
    read_map("solution_rc_initial.map");
    options(true, false);
    start();
    RUN_FLAGS.FIRST_STEP_DATA = LFALSE;  // only the first-step-of-run path
    NET.NNORTON(1) = 0;
    SSINIT();
    SOLVE_NETWORK();
    EXPECT_LT(V(1), 1.0);  // far from the 10 V it was charged to
}

}  // namespace
