#include <cmath>

#include "controls/block_slots.h"
#include "controls/elementary/block_support.h"
#include "controls/linear/linear_blocks.h"
#include "controls/window/window_blocks.h"
#include "engine/run_state.h"
#include "platform/logical.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kQuarter = 1.570796326794896;

double wrapped(double th) { return th > kTwoPi ? th - kTwoPi : th; }

// Y and X of the angle through the two lags (Y first); 0 near a zero
// vector.
void filtered_angle(double DEG, double Y, double X, double T, double& OUT) {
    const double y = LAG_LIMITED(0, 1, 0, 1.0, T, Y, 0.0, 0.0, 0.0);
    const double x = LAG_LIMITED(0, 1, 0, 1.0, T, X, 0.0, 0.0, 0.0);
    OUT = std::fabs(y) <= 1e-10 || std::fabs(x) <= 1e-10 ? 0.0 : std::atan2(y, x);
    if (nint(DEG) == 1) OUT *= 57.29577951308232;
}

// One channel of the minimum detector: previous value, arm state, time of
// the last minimum and its "new" flag (0 until the output takes it).
void watch_minimum(double a, double L, double& previous, double& arm, double& when, double& fresh) {
    if (a <= L) {
        if (arm <= 0.5) {
            if (a > previous) {
                arm = 1.0;
                when = RUN_CLOCK.TIME;
                fresh = 0.0;
            } else {
                arm = 0.0;
            }
        }
        if (arm > 0.5 && a < previous) arm = 0.0;
    }
    previous = a;
}

}  // namespace

double PEAK_DETECT(double X, double Y0) {
    const BlockSlots s = take_slots({.stor = 4});
    double& previous = s.S(0);
    double& peak = s.S(1);
    double& hold_until = s.S(2);
    double& spent = s.S(3);
    if (first_step_data()) {
        previous = 2.0 * Y0;
        peak = Y0;
        hold_until = X > 0.9 * Y0 ? 0.005 : 0.0;
        spent = 1.0;
    }
    const double a = std::fabs(X);
    if (RUN_CLOCK.TIME >= hold_until) {
        if (a > previous) {
            spent = 0.0;
        } else if (spent <= 0.5) {
            // The first sample that is not above its predecessor.
            peak = a;
            hold_until = RUN_CLOCK.TIME + 3.0 * RUN_CLOCK.DELT;
            spent = 1.0;
        }
    }
    previous = a;
    return peak;
}

double PHASE_DIFF_ZC(double X, double A, double W, double M) {
    const BlockSlots s = take_slots({.stor = 10});
    // 0-3 the reference's channel, 4-7 the measured one, 8 the threshold,
    // 9 the output.
    if (first_step_data()) {
        for (int c : {0, 4}) {
            s.S(c) = M;
            s.S(c + 1) = 1.0;
            s.S(c + 2) = 0.0;
            s.S(c + 3) = 1.0;
        }
        s.S(8) = 0.2 * M;
        s.S(9) = 0.0;
    }
    const double ref = std::fabs(M * std::sin(A * 0.017453292519943 + W * RUN_CLOCK.TIME));
    watch_minimum(ref, s.S(8), s.S(0), s.S(1), s.S(2), s.S(3));
    watch_minimum(std::fabs(X), s.S(8), s.S(4), s.S(5), s.S(6), s.S(7));
    if (s.S(3) + s.S(7) <= 0.5) {
        s.S(9) = (s.S(2) - s.S(6)) * W;
        s.S(3) = s.S(7) = 1.0;
    }
    return s.S(9);
}

void PHASE_ANGLE_3PH(double DEG, int32_t MODE, double VA, double VB, double VC, double T, double F, double& OUT) {
    double& th = take_slots({.storf = 1}).F(0);
    th = first_step_data() ? (MODE == 1 ? -kQuarter : 0.0) : th + RUN_CLOCK.DELT * F * kTwoPi;
    th = wrapped(th);
    const double ca = std::cos(th), cb = std::cos(th - 2.094395102393195), cc = -ca - cb;
    const double qa = std::cos(th + kQuarter), qb = std::cos(th - 0.523598775598299), qc = -qa - qb;
    constexpr double k = 0.577350269189626;
    const double va = k * (VC - VB), vb = k * (VA - VC), vc = -va - vb;
    const double Y = (VA * qa + VB * qb + VC * qc) - (va * ca + vb * cb + vc * cc);
    const double X = VA * ca + VB * cb + VC * cc + va * qa + vb * qb + vc * qc;
    filtered_angle(DEG, Y, X, T, OUT);
}

void PHASE_ANGLE_1PH(double DEG, int32_t MODE, double X, double T, double F, double& OUT) {
    const BlockSlots s = take_slots({.storf = 3});
    const double DELT = RUN_CLOCK.DELT;
    double th;
    if (first_step_data()) {
        if (F <= 0.0) block_data_error("PHASE_ANGLE_1PH", "Frequency must be positive");
        s.F(0) = 1.0 / (DELT * F * kTwoPi);
        th = -(F * kTwoPi * DELT * 0.5) - (MODE == 1 ? kQuarter : 0.0);
    } else {
        th = s.F(1) + DELT * kTwoPi * F;
    }
    th = wrapped(th);
    // The mean of the step and the derivative over omega: in-phase and
    // quadrature parts at the step's middle.
    const double a = (X + s.F(2)) * 0.5, b = (X - s.F(2)) * s.F(0);
    const double c = std::cos(th), sn = -std::sin(th);
    filtered_angle(DEG, a * sn - b * c, c * a + sn * b, T, OUT);
    s.F(1) = th;
    s.F(2) = X;
}
