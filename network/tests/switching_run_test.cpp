// Switches operated inside a step during whole runs, by the stand-in
// case's models: a timed switch energising an R-L load at its instant (the
// trapezoidal solution re-anchored there, and the exact response), a
// switching time on a step boundary, and a switch opening at the current
// zero of a sinusoidal R-L circuit.
#include <cmath>

#include "engine/storage.h"
#include "network/switch_state.h"
#include "network/tests/hooked_case.h"
#include "network/tests/solution_circuit.h"

namespace {

class SwitchingRun : public SolutionTest {
protected:
    void SetUp() override {
        SolutionTest::SetUp();
        HOOKED_CASE.reset();
    }
    void TearDown() override {
        HOOKED_CASE.reset();
        SolutionTest::TearDown();
    }

    // Branch 2 of the fixtures becomes a switch of 1 mohm closed and no
    // conductance open; with pe, its owner is a thyristor whose record
    // (STORI from 1, STORF and STOR from 1) keeps its switching times.
    static void set_up_switch(bool pe, double closed_threshold) {
        CHK_SWITCH_R(1, 2, 1e-3, HUGE_VAL, 0.0, 0.0, "TEST_SWITCH");
        if (!pe) return;
        StorageArrays& S = STORAGE;
        NET.THISBR(2, 1) = 1;
        S.STORI(1) = 11;
        S.STORI(3) = 0;
        S.STORI(8) = 0;
        S.STORF(1) = closed_threshold;
        S.STORF(2) = 0.0;
        S.STOR(10) = S.STOR(11) = -1.0;
    }
};

constexpr double kE = 100.0, kR = 1.0 + 1e-3 + 1.0, kL = 5e-3, kDt = 50e-6;

// The switch closes at ts = 10.37 steps: the load current is 0 up to step
// 10; at ts the re-solution gives the trapezoidal rule's first value
// i0 = (E/R) a/(1 + a), the pass from ts its next one i1 = rho i0 + (1 -
// rho) E/R a step later, step 11 takes the value 0.63 of the way from i0
// to i1, and every later step is one more step of the rule.
TEST_F(SwitchingRun, TimedSwitchEnergisesAnRLLoadAtItsInstant) {
    const double ts = 10.37 * kDt;
    const double a = kDt * kR / (2.0 * kL), rho = (1.0 - a) / (1.0 + a), final = kE / kR;
    const double i0 = final * a / (1.0 + a), i1 = rho * i0 + (1.0 - rho) * final;
    const double i11 = i0 + (1.0 - 0.37) * (i1 - i0);
    const double tau = kL / kR;
    for (bool pe : {false, true}) {
        read_map("switching_rl.map");
        HOOKED_CASE.on_dsd = [pe, ts] {
            if (RUN_CLOCK.NSTEP != 0) return;
            set_up_switch(pe, -1e30);
            NET.IORV(2, 1) = 8;
            NET.SWVAL(2, 1) = ts;
        };
        start();
        double worst_scheme = 0.0, worst_exact = 0.0, worst_late = 0.0;
        for (int32_t n = 0; n <= 200; ++n) {
            ASSERT_TRUE(step()) << n;
            const double i = I(3), t = n * kDt;
            if (n <= 10) {
                ASSERT_EQ(i, 0.0) << n;
                ASSERT_TRUE(is_true(NET.OPENBR(2, 1)));
                continue;
            }
            ASSERT_FALSE(is_true(NET.OPENBR(2, 1)));
            EXPECT_EQ(NET.IORV(2, 1), pe ? -13 : 6);
            const double scheme = final - std::pow(rho, n - 11) * (final - i11);
            worst_scheme = std::max(worst_scheme, std::fabs(i - scheme));
            // The rule's error against the exact response: its first value
            // a E/R dying away with the circuit, and the interpolation
            // between two of its values, of second order in the step.
            const double exact = final * (1.0 - std::exp(-(t - ts) / tau));
            const double err = std::fabs(i - exact);
            const double bound = (a * std::exp(-(t - ts) / tau) + std::pow(kDt / tau, 2)) * final;
            worst_exact = std::max(worst_exact, err / bound);
            if (t - ts >= 3.0 * tau) worst_late = std::max(worst_late, err);
            ASSERT_LT(kcl_error(), 1e-9) << n;
        }
        EXPECT_LT(worst_scheme, 1e-11 * final) << pe;
        EXPECT_LT(worst_exact, 1.0) << pe;
        EXPECT_LT(worst_late, 1e-3 * final) << pe;
        if (pe) {
            // The thyristor's record holds the solution instant of its closing.
            EXPECT_NEAR(STORAGE.STOR(10), ts, 1e-12 * kDt);
            EXPECT_EQ(STORAGE.STOR(11), -1.0);
        }
        EXPECT_EQ(array_overrun_count(), 0);
        reset_engine();
    }
}

// A switching time on a step boundary is operated at the end of that step
// or, when the step closed on it, at the start of the next; it is never
// lost to the rounding of the times.
TEST_F(SwitchingRun, SwitchingTimeOnAStepBoundaryIsNotLost) {
    for (int32_t k = 11; k <= 40; ++k) {
        for (double ts : {k * kDt, std::nextafter(k * kDt, 0.0), std::nextafter(k * kDt, 1.0), 0.01 * k / 200.0}) {
            read_map("switching_rl.map");
            HOOKED_CASE.on_dsd = [ts] {
                if (RUN_CLOCK.NSTEP != 0) return;
                set_up_switch(true, -1e30);
                NET.IORV(2, 1) = 8;
                NET.SWVAL(2, 1) = ts;
            };
            start();
            const int32_t last = static_cast<int32_t>(std::ceil(ts / kDt)) + 1;
            for (int32_t n = 0; n <= last; ++n) ASSERT_TRUE(step());
            EXPECT_FALSE(is_true(NET.OPENBR(2, 1))) << k << " " << ts;
            EXPECT_GE(STORAGE.STOR(10), ts - 1e-12 * kDt) << k;
            EXPECT_LE(STORAGE.STOR(10), ts + 1.0001e-4 * kDt) << k;
            reset_engine();
        }
    }
}

// 100 V at 50 Hz behind 1 ohm feeds 5 ohm and 20 mH through the switch.
// After 12 time constants of steady state the switch is armed to open when
// its current falls to zero (state code -13, as a breaker arms it, or a
// thyristor with a holding current of 0). Step n's values are the
// sinusoidal steady state of the trapezoidal rule at t = n dt (the phasor
// solution with the warped reactance (2L/dt) tan(w dt/2)); the current
// zero interpolated between two of them lies within 1e-3 of a step of that
// sinusoid's zero, and the thyristor opens there.
TEST_F(SwitchingRun, SwitchOpensAtTheCurrentZero) {
    const double Em = 100.0, w = 2.0 * M_PI * 50.0, R = 1.0 + 1e-3 + 5.0, L = 20e-3;
    const double X = (2.0 * L / kDt) * std::tan(w * kDt / 2.0), phi = std::atan2(X, R);
    for (bool pe : {false, true}) {
        read_map("switching_ac_rl.map");
        bool armed = false;
        double armed_at = 0.0;
        HOOKED_CASE.on_dsd = [&] {
            const double t = RUN_CLOCK.TIME;
            NET.EBR(1, 1) = Em * std::sin(w * t);
            if (RUN_CLOCK.NSTEP == 0) {
                set_up_switch(pe, 0.0);
                BRANCH_ON(1, 2, 6, 0.0);
            }
            if (!armed && t >= 0.08 && NET.CBR(2, 1) > 0.0) {
                armed = true;
                armed_at = t;
                NET.IORV(2, 1) = -13;
                NET.SWVAL(2, 1) = 0.0;
            }
        };
        start();
        double before = 0.0;
        int32_t opened = -1;
        for (int32_t n = 0; n <= 2000 && opened < 0; ++n) {
            before = I(2);
            ASSERT_TRUE(step());
            if (is_true(NET.OPENBR(2, 1))) opened = n;
        }
        ASSERT_GT(opened, 0);
        ASSERT_TRUE(armed);
        // Opened in the step whose current went through zero.
        const double t_end = opened * kDt;
        EXPECT_GT(before, 0.0);
        EXPECT_GT(t_end, armed_at);
        // The zero of the sinusoid: w t - phi a whole number of half turns.
        const double half_turns = std::floor((w * t_end - phi) / M_PI);
        const double zero = (half_turns * M_PI + phi) / w;
        EXPECT_GT(zero, t_end - kDt);
        EXPECT_LE(zero, t_end);
        if (pe) {
            EXPECT_NEAR(STORAGE.STOR(11), zero, 1e-3 * kDt);
            RecordProperty("zero_error_steps", std::to_string((STORAGE.STOR(11) - zero) / kDt));
            EXPECT_EQ(NET.IORV(2, 1), 6);
        }
        // Open from the zero on: the switch carries nothing.
        for (int32_t n = 0; n < 20; ++n) {
            ASSERT_TRUE(step());
            EXPECT_EQ(I(2), 0.0);
        }
        EXPECT_EQ(array_overrun_count(), 0);
        reset_engine();
    }
}

}  // namespace
