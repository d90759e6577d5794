// One step after another against analytic results of the trapezoidal
// rule: DC steps through R-L and R-C, an R-L-C circuit against a
// state-space integration, the sinusoidal steady state against the phasor
// solution with the rule's warped reactances, and Kirchhoff's current law.
#include <complex>

#include "network/tests/solution_circuit.h"

namespace {

using SolutionStep = SolutionTest;

// Source E behind R from ground into node 1, and L (or C) from node 1 to
// ground: the branch currents after n steps.
TEST_F(SolutionStep, DcStepThroughRL) {
    const double E = 100.0, R = 2.0, L = 5e-3, dt = 50e-6;
    for (bool interpolate : {false, true}) {
        tables(1, 2, dt);
        branch({0, 1, R, 0, 0, E});
        const int32_t coil = branch({1, 0, 0, L});
        options(interpolate, false);
        start();
        const double a = dt / (2.0 * L / R), rho = (1.0 - a) / (1.0 + a);
        for (int n = 0; n < 400; ++n) {
            ASSERT_TRUE(step());
            const double expected = (E / R) * (1.0 - std::pow(rho, n) / (1.0 + a));
            ASSERT_NEAR(I(coil), expected, 1e-10 * std::fabs(expected)) << n << " interpolate " << interpolate;
            ASSERT_LT(kcl_error(), 1e-9);
        }
    }
}

TEST_F(SolutionStep, DcStepThroughRC) {
    const double E = 10.0, R = 50.0, C = 20e-6, dt = 50e-6;
    for (bool interpolate : {false, true}) {
        tables(1, 2, dt);
        const int32_t src = branch({0, 1, R, 0, 0, E});
        const int32_t cap = branch({1, 0, 0, 0, C});
        options(interpolate, false);
        start();
        const double a = dt / (2.0 * R * C), rho = (1.0 - a) / (1.0 + a);
        for (int n = 0; n < 400; ++n) {
            ASSERT_TRUE(step());
            const double v = E * (1.0 - std::pow(rho, n) / (1.0 + a));
            const double i = (E / R) * std::pow(rho, n) / (1.0 + a);
            ASSERT_NEAR(V(1), v, 1e-10 * E) << n;
            ASSERT_NEAR(I(cap), i, 1e-10 * E / R) << n;
            ASSERT_NEAR(I(src), i, 1e-10 * E / R) << n;
            ASSERT_LT(kcl_error(), 1e-9);
        }
    }
}

// Series R-L-C driven by E: x = (iL, vC), x' = A x + B E, integrated by the
// trapezoidal rule from rest with the source on from the first step.
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

// A 50 Hz source behind R1 feeds L into node 2, which has R2 and C to
// ground. After the start has died away every step matches the phasor
// solution with X_L = (2L/dt) tan(w dt/2) and X_C = 1/((2C/dt) tan(w dt/2)).
TEST_F(SolutionStep, SinusoidalSteadyStateMatchesWarpedPhasors) {
    using cd = std::complex<double>;
    const double Em = 100.0, R1 = 1.0, L = 1e-3, R2 = 10.0, C = 100e-6, dt = 50e-6;
    const double w = 2.0 * M_PI * 50.0;
    for (bool interpolate : {false, true}) {
        tables(2, 4, dt);
        const int32_t src = branch({0, 1, R1, 0, 0, Em});
        const int32_t coil = branch({1, 2, 0, L});
        const int32_t res = branch({2, 0, R2});
        const int32_t cap = branch({2, 0, 0, 0, C});
        options(interpolate, false);
        start();
        const double t = std::tan(w * dt / 2.0);
        const cd zl(0.0, (2.0 * L / dt) * t), zc(0.0, -1.0 / ((2.0 * C / dt) * t));
        const cd y2 = 1.0 / R2 + 1.0 / zc;
        // Node 1 and 2 voltages from the two node equations.
        const cd z2 = 1.0 / y2;
        const cd il = Em / (R1 + zl + z2), v2 = il * z2, v1 = Em - R1 * il;
        double worst_v = 0.0, worst_i = 0.0;
        for (int n = 0; n < 4000; ++n) {
            NET.EBR(src, 1) = Em * std::sin(w * n * dt);
            ASSERT_TRUE(step());
            ASSERT_LT(kcl_error(), 1e-9);
            if (n < 3000) continue;
            const cd rot = std::exp(cd(0.0, w * n * dt));
            worst_v = std::max({worst_v, std::fabs(V(2) - (v2 * rot).imag()), std::fabs(V(1) - (v1 * rot).imag())});
            worst_i = std::max({worst_i, std::fabs(I(coil) - (il * rot).imag()),
                                std::fabs(I(res) - (v2 / R2 * rot).imag()), std::fabs(I(cap) - (v2 / zc * rot).imag())});
        }
        EXPECT_LT(worst_v, 1e-9 * Em) << interpolate;
        EXPECT_LT(worst_i, 1e-9 * std::abs(il)) << interpolate;
    }
}

// With chatter removal on, the step after a factorisation is taken in two
// halves; the result still obeys Kirchhoff's law and reaches the same DC
// end value.
TEST_F(SolutionStep, ChatterRemovalHalvesTheFirstStep) {
    const double E = 10.0, R = 5.0, L = 1e-3, dt = 50e-6;
    tables(1, 2, dt);
    branch({0, 1, R, 0, 0, E});
    const int32_t coil = branch({1, 0, 0, L});
    options(true, true);
    start();
    ASSERT_TRUE(step());
    // Half a step from rest, then the second half: i = E/(R + X) after a
    // half step of width dt/2 gives the interpolated first half value.
    const double a = dt / (2.0 * L / R);
    const double full = (E / R) * (1.0 - 1.0 / (1.0 + a));
    EXPECT_NE(I(coil), full);
    EXPECT_LT(kcl_error(), 1e-12);
    for (int n = 1; n < 2000; ++n) ASSERT_TRUE(step());
    EXPECT_NEAR(I(coil), E / R, 1e-9 * E / R);
    EXPECT_EQ(NET.NTRIANG(1), 1);
}

}  // namespace
