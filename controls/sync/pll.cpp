#include <cmath>

#include "controls/block_slots.h"
#include "controls/limit_value.h"
#include "controls/sync/sync_blocks.h"
#include "engine/abort.h"
#include "engine/run_state.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kInvTwoPi = 0.159154943091895;
constexpr double kDegrees = 57.29577951308232;

// The tracking set-up's base: at or below 1e-20 it counts as 1.
double inverse_base(double VBASE) { return VBASE > 1e-20 ? 1.0 / VBASE : 1.0; }

// The loops' base keeps its sign; only one too small to divide by counts as 1.
double loop_base(double VBASE) { return std::fabs(VBASE) > 1e-20 ? 1.0 / VBASE : 1.0; }

// The angle of phase A's sine measured from theta, less OFFSET.
double angle_error(double VA, double VB, double VC, double g, double theta, double guard, double OFFSET) {
    const double alpha = 0.577350269189626 * 1.414213562373095 * (VA - 0.5 * (VB + VC)) * g;
    const double beta = g * 0.707106781186548 * (VB - VC);
    const double d = std::sin(theta) * beta + std::cos(theta) * alpha;
    const double q = alpha * std::sin(theta) - beta * std::cos(theta);
    const double em = std::fabs(d) < guard && std::fabs(q) < guard ? 0.0 : std::atan2(d, q);
    return em - OFFSET;
}

// Before T_LOCK the angle jumps onto the measured one.
double locked(double theta, double err, double T_LOCK) {
    if (RUN_CLOCK.TIME > T_LOCK) return theta;
    theta += err;
    if (theta <= 0.0) theta += kTwoPi;
    if (theta >= kTwoPi) theta -= kTwoPi;
    return theta;
}

void atan_loop(double lower, double upper, double VA, double VB, double VC, double KP, double KI, double VBASE,
               double F0, double OFFSET, double T_LOCK, double& THETA, double& ERR_DEG, double& F) {
    const BlockSlots s = take_slots({.stor = 3});
    if (first_step_data()) s.S(2) = loop_base(VBASE);
    const double DELT = RUN_CLOCK.DELT, w0 = kTwoPi * F0;
    const double err = angle_error(VA, VB, VC, s.S(2), s.S(0), 1e-6, OFFSET);
    THETA = locked(s.S(0), err, T_LOCK);
    ERR_DEG = kDegrees * err;
    s.S(1) += DELT * err;
    const double w = limit_value(lower * w0, upper * w0, KI * s.S(1) + w0 + KP * err);
    THETA += DELT * w;
    if (THETA >= kTwoPi) THETA -= kTwoPi;
    s.S(0) = THETA;
    F = kInvTwoPi * w;
}

}  // namespace

void PLL_3PH_ATAN_A(double VA, double VB, double VC, double KP, double KI, double VBASE, double F0, double OFFSET,
                    double T_LOCK, double& THETA, double& ERR_DEG, double& F) {
    atan_loop(0.5, 1.5, VA, VB, VC, KP, KI, VBASE, F0, OFFSET, T_LOCK, THETA, ERR_DEG, F);
}

void PLL_3PH_ATAN_B(double VA, double VB, double VC, double KP, double KI, double VBASE, double F0, double OFFSET,
                    double T_LOCK, double& THETA, double& ERR_DEG, double& F) {
    atan_loop(0.8, 1.2, VA, VB, VC, KP, KI, VBASE, F0, OFFSET, T_LOCK, THETA, ERR_DEG, F);
}

void PLL_3PH_ASIN(double VA, double VB, double VC, double KP, double KI, double VBASE, double F0, double& F,
                  double& THETA, double& ERR_DEG) {
    const BlockSlots s = take_slots({.stor = 3});
    const double DELT = RUN_CLOCK.DELT, w0 = kTwoPi * F0;
    if (first_step_data()) {
        s.S(2) = loop_base(VBASE);
        s.S(0) = -(w0 * DELT);
    }
    const double g = s.S(2);
    THETA = s.S(0);
    const double alpha = g * 0.816496580927726 * (VA - 0.5 * (VC + VB));
    const double beta = (VB - VC) * 0.707106781186547 * g;
    const double e = std::sin(THETA) * beta + std::cos(THETA) * alpha;
    const double r = std::fabs(e) < 1e-10 ? 0.0 : e / std::fmax(alpha * alpha + beta * beta, std::fabs(e));
    ERR_DEG = kDegrees * std::asin(r);
    s.S(1) += DELT * e;
    const double w = limit_value(0.8 * w0, 1.2 * w0, KI * s.S(1) + w0 + KP * e);
    THETA += DELT * w;
    if (THETA >= kTwoPi) THETA -= kTwoPi;
    s.S(0) = THETA;
    F = kInvTwoPi * w;
}

void PLL_3PH_TRACK_SETUP(double VBASE, double F0) {
    const BlockSlots s = take_slots({.rtcf = 2});
    s.RF(0) = inverse_base(VBASE);
    s.RF(1) = kTwoPi * F0;
}

void PLL_3PH_TRACK(double VA, double VB, double VC, double KP, double KI, double OFFSET, double T_LOCK, double UPPER,
                   double LOWER, double& THETA, double& ERR_DEG, double& F) {
    const BlockSlots s = take_slots({.storf = 2, .rtcf = 2});
    if (UPPER <= 1.0) {
        USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 1, "Upper tracking boundary must be greater than 1.0");
        UPPER = 1.2;
    }
    if (LOWER >= 1.0 || LOWER <= 0.0) {
        USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 1, "Lower tracking boundary must be positive, but smaller than 1.0");
        LOWER = 0.8;
    }
    const double g = s.RF(0), w0 = s.RF(1), DELT = RUN_CLOCK.DELT;
    const double err = angle_error(VA, VB, VC, g, s.F(0), 1e-32, OFFSET);
    THETA = locked(s.F(0), err, T_LOCK);
    ERR_DEG = kDegrees * err;
    s.F(1) += DELT * err;
    const double w = limit_value(LOWER * w0, UPPER * w0, KI * s.F(1) + w0 + KP * err);
    if (THETA >= kTwoPi) THETA -= kTwoPi;
    F = kInvTwoPi * w;
    s.F(0) = THETA + DELT * w;
}
