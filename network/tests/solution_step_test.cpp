// One step after another against analytic results of the trapezoidal
// rule (DC steps through R-L and R-C, an R-L-C circuit against a
// state-space integration, the sinusoidal steady state against the warped
// phasor solution, Kirchhoff's current law), and the initial values of
// "VOLTAGES:" and of the letter i that a run from data starts from.
#include <complex>
#include <string>
#include <vector>

#include "engine/run_loop.h"
#include "network/branch_currents.h"
#include "network/tests/solution_circuit.h"

namespace {

using SolutionStep = SolutionTest;

// E behind R into L from rest, with the source on from the first step:
// i_n = (E/R) (1 - rho^n / (1 + a)), a = dt R / 2L, rho = (1 - a)/(1 + a).
double rl_current(int n) {
    const double E = 100.0, R = 2.0, L = 5e-3, dt = 50e-6;
    const double a = dt / (2.0 * L / R), rho = (1.0 - a) / (1.0 + a);
    return (E / R) * (1.0 - std::pow(rho, n) / (1.0 + a));
}

// E behind R into L (or C) to ground, after n steps.
TEST_F(SolutionStep, DcStepsThroughRLAndRC) {
    const double E = 10.0, R = 50.0, C = 20e-6, dt = 50e-6;
    const double a = dt / (2.0 * R * C), rho = (1.0 - a) / (1.0 + a);
    for (bool interpolate : {false, true}) {
        tables(1, 2, dt);
        branch({0, 1, 2.0, 0, 0, 100.0});
        const int32_t coil = branch({1, 0, 0, 5e-3});
        options(interpolate, false);
        start();
        for (int n = 0; n < 400; ++n) {
            ASSERT_TRUE(step());
            ASSERT_NEAR(I(coil), rl_current(n), 1e-10 * rl_current(n)) << n << " interpolate " << interpolate;
            ASSERT_LT(kcl_error(), 1e-9);
        }
        tables(1, 2, dt);
        const int32_t src = branch({0, 1, R, 0, 0, E});
        const int32_t cap = branch({1, 0, 0, 0, C});
        options(interpolate, false);
        start();
        for (int n = 0; n < 400; ++n) {
            ASSERT_TRUE(step());
            const double v = E * (1.0 - std::pow(rho, n) / (1.0 + a)), i = (E / R) * std::pow(rho, n) / (1.0 + a);
            ASSERT_NEAR(V(1), v, 1e-10 * E) << n;
            ASSERT_NEAR(I(cap), i, 1e-10 * E / R) << n;
            ASSERT_NEAR(I(src), i, 1e-10 * E / R) << n;
            ASSERT_LT(kcl_error(), 1e-9);
        }
    }
}

// The same R-L step read from a map file, through the run loop, with one factorisation.
TEST_F(SolutionStep, DcStepFromAMapFile) {
    read_map("solution_dc_step.map");
    start();
    Logical aborted = LFALSE;
    const Captured c = capture([&] { RUNLOOP(aborted, false); });
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_FALSE(is_true(aborted));
    ASSERT_EQ(RUN_CLOCK.LAST_STEP, 200);
    EXPECT_NEAR(I(2), rl_current(200), 1e-10 * rl_current(200));
    EXPECT_NEAR(V(1), 100.0 - 2.0 * rl_current(200), 1e-7);
    EXPECT_EQ(NET.NTRIANG(1), 1);
}

// Series R-L-C: x = (iL, vC), x' = A x + B E, by the trapezoidal rule from rest.
TEST_F(SolutionStep, RlcAgainstStateSpaceIntegration) {
    const double E = 1.0, R = 3.0, L = 2e-3, C = 10e-6, dt = 20e-6;
    tables(2, 3, dt);
    branch({0, 1, R, 0, 0, E});
    const int32_t coil = branch({1, 2, 0, L});
    branch({2, 0, 0, 0, C});
    options(false, false);
    start();
    double il = 0.0, vc = 0.0, u_prev = 0.0;
    const double h = dt / 2.0;
    for (int n = 0; n < 2000; ++n) {
        ASSERT_TRUE(step());
        // (I - hA) x_n = (I + hA) x_{n-1} + h B (u_n + u_{n-1})
        const double a11 = -R / L, a12 = -1.0 / L, a21 = 1.0 / C;
        const double r1 = il + h * (a11 * il + a12 * vc) + h * (E + u_prev) / L;
        const double r2 = vc + h * (a21 * il);
        const double m11 = 1.0 - h * a11, m12 = -h * a12, m21 = -h * a21, m22 = 1.0;
        const double det = m11 * m22 - m12 * m21;
        il = (r1 * m22 - m12 * r2) / det;
        vc = (m11 * r2 - m21 * r1) / det;
        u_prev = E;
        ASSERT_NEAR(I(coil), il, 1e-9 * (E / R)) << n;
        ASSERT_NEAR(V(2), vc, 1e-9 * 2.0 * E) << n;
        ASSERT_LT(kcl_error(), 1e-9);
    }
}

// 50 Hz through R1 and L into R2 || C: X_L = (2L/dt) tan(w dt/2), X_C = 1/((2C/dt) tan(w dt/2)).
TEST_F(SolutionStep, SinusoidalSteadyStateMatchesWarpedPhasors) {
    using cd = std::complex<double>;
    const double Em = 100.0, R1 = 1.0, L = 1e-3, R2 = 10.0, C = 100e-6, dt = 50e-6;
    const double w = 2.0 * M_PI * 50.0, t = std::tan(w * dt / 2.0);
    const cd zl(0.0, (2.0 * L / dt) * t), zc(0.0, -1.0 / ((2.0 * C / dt) * t));
    const cd z2 = 1.0 / (1.0 / R2 + 1.0 / zc);
    const cd il = Em / (R1 + zl + z2), v2 = il * z2, v1 = Em - R1 * il;
    for (bool interpolate : {false, true}) {
        tables(2, 4, dt);
        const int32_t src = branch({0, 1, R1, 0, 0, Em});
        const int32_t coil = branch({1, 2, 0, L});
        const int32_t res = branch({2, 0, R2});
        const int32_t cap = branch({2, 0, 0, 0, C});
        options(interpolate, false);
        start();
        double worst_v = 0.0, worst_i = 0.0;
        for (int n = 0; n < 4000; ++n) {
            NET.EBR(src, 1) = Em * std::sin(w * n * dt);
            ASSERT_TRUE(step());
            ASSERT_LT(kcl_error(), 1e-9);
            if (n < 3000) continue;
            const cd rot = std::exp(cd(0.0, w * n * dt));
            worst_v = std::max({worst_v, std::fabs(V(2) - (v2 * rot).imag()), std::fabs(V(1) - (v1 * rot).imag())});
            worst_i = std::max({worst_i, std::fabs(I(coil) - (il * rot).imag()),
                                std::fabs(I(res) - (v2 / R2 * rot).imag()),
                                std::fabs(I(cap) - (v2 / zc * rot).imag())});
        }
        EXPECT_LT(worst_v, 1e-9 * Em) << interpolate;
        EXPECT_LT(worst_i, 1e-9 * std::abs(il)) << interpolate;
    }
}

// DC steady states given by the letter i and "VOLTAGES:" (or not) are kept from the first step.
TEST_F(SolutionStep, InitialStatesAreKept) {
    const struct {
        const char* map;
        std::vector<std::pair<int32_t, double>> currents, volts;
        bool remove_chatter;
    } cases[] = {
        {"solution_rl_initial.map", {{1, 10.0 / 3.0}, {2, 10.0 / 3.0}}, {{1, 20.0 / 3.0}}, false},
        {"solution_rl_initial_no_volts.map", {{2, 10.0 / 3.0}}, {{1, 20.0 / 3.0}}, false},
        {"solution_rc_initial.map", {{2, 0.0}}, {{1, 10.0}}, false},
        {"solution_rlc_initial.map", {{2, 0.0}, {4, 2.0}}, {{1, 10.0}, {2, 2.0}}, true},
    };
    for (const auto& k : cases) {
        for (bool interpolate : {false, true}) {
            SCOPED_TRACE(std::string(k.map) + (interpolate ? " interpolated" : ""));
            read_map(k.map);
            options(interpolate, k.remove_chatter);
            start();
            for (int n = 0; n < 200; ++n) {
                ASSERT_TRUE(step());
                for (const auto& [b, i] : k.currents) ASSERT_NEAR(I(b), i, 1e-12 * std::max(1.0, std::fabs(i))) << n;
                for (const auto& [node, v] : k.volts) ASSERT_NEAR(V(node), v, 1e-12 * std::max(1.0, v)) << n;
            }
        }
    }
}

// 0.1 H || 70.3619 uF || 1 kohm, rung from 100 V with 1 A in the coil (and
// -1.1 A in the capacitor), against the trapezoidal rule on x = (iL, v)
// from that state: engine step n is step n + 1 from it.
TEST_F(SolutionStep, TankRingsFromItsInitialVoltageAndCurrents) {
    const double L = 0.1, C = 70.3619e-6, R = 1000.0, h = 50e-6 / 2.0;
    for (bool interpolate : {false, true}) {
        read_map("solution_lc_tank.map");
        options(interpolate, false);
        start();
        double il = 1.0, v = 100.0, worst_i = 0.0, worst_v = 0.0;
        const double m11 = 1.0, m12 = -h / L, m21 = h / C, m22 = 1.0 + h / (R * C), det = m11 * m22 - m12 * m21;
        for (int n = 0; n < 1000; ++n) {
            ASSERT_TRUE(step());
            const double r1 = il + (h / L) * v, r2 = v - (h / C) * il - (h / (R * C)) * v;
            il = (r1 * m22 - m12 * r2) / det;
            v = (m11 * r2 - m21 * r1) / det;
            worst_i = std::max(worst_i, std::fabs(I(1) - il));
            worst_v = std::max(worst_v, std::fabs(V(1) - v));
            ASSERT_LT(kcl_error(), 1e-9);
        }
        // Peaks of about 2.8 A and 107 V.
        EXPECT_LT(worst_i, 1e-9 * 2.8) << interpolate;
        EXPECT_LT(worst_v, 1e-9 * 107.0) << interpolate;
    }
}

// A coil given 2 A with its node at 8 V moves by dt/2L (8 + v0) on the first step.
TEST_F(SolutionStep, CoilStartsAcrossItsNodeVoltage) {
    read_map("solution_coil_initial.map");
    options(true, false);
    start();
    ASSERT_TRUE(step());
    EXPECT_NEAR(I(2), 2.0 + 50e-6 / (2.0 * 5e-3) * (8.0 + V(1)), 1e-13);
    EXPECT_NEAR(I(1), I(2), 1e-13);
}

// Counts that fitted the tables in one step are tested again in the next:
// a Norton or switch count beyond its table's ends the run there.
TEST_F(SolutionStep, CountsThatNoLongerFitEndTheStep) {
    for (int which = 0; which < 2; ++which) {
        tables(1, 2, 50e-6);
        branch({0, 1, 2.0, 0, 0, 100.0});
        branch({1, 0, 0, 5e-3});
        options(false, false);
        start();
        ASSERT_TRUE(step());
        ASSERT_TRUE(step());
        if (which == 0)
            NET.NNORTON(1) = NET.NBUSES(1) + 1;
        else
            NET.NSWITCH(1) = NET.NBRANCHES(1) + 1;
        const Captured c = capture([] { SOLVE_NETWORK(); });
        EXPECT_TRUE(c.aborted) << which;
        EXPECT_NE(c.out.find("Network tables of subsystem 1 do not fit their dimensions."), std::string::npos)
            << which << c.out;
    }
}

// A first step of a run from data that began with a re-solution (no histories yet) would lose the charge.
TEST_F(SolutionStep, ReSolutionBeforeAnyHistoryWouldLoseTheInitialState) {
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
