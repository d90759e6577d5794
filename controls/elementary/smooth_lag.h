// The lag of SMOOTH_LAG on its two slots, the gap between input and output
// and the last output: inline, for the meters that smooth every quantity
// they measure on every step.
#pragma once

#include <cmath>

#include "controls/block_slots.h"
#include "engine/run_state.h"

// The lags use the trapezoidal rule when the time constant spans more than
// five steps, and the exact step response (the share of the way to the
// input covered in one step) below that.
inline bool lag_is_trapezoidal(double T) { return std::fabs(T) > 5.0 * RUN_CLOCK.DELT; }
inline double lag_step_response(double T) {
    return std::fabs(T) >= 1.0e-20 ? 1.0 - std::exp(-RUN_CLOCK.DELT / T) : 1.0;
}

// The trapezoidal factors for the last time constant and step length: the
// meters call the lag with one time constant, so they are kept from the
// call before rather than divided out again.
struct SmoothLagFactors {
    double delt = 0.0, t = 0.0, k = 0.0, denominator = 1.0;
};
inline SmoothLagFactors smooth_lag_factors;

// The factors for time constant T, worked out again only when T or the
// step length changed.
[[gnu::always_inline]] inline const SmoothLagFactors& trapezoidal_factors(double T) {
    SmoothLagFactors& f = smooth_lag_factors;
    if (RUN_CLOCK.DELT != f.delt || T != f.t) {
        f.delt = RUN_CLOCK.DELT;
        f.t = T;
        f.k = 0.5 * RUN_CLOCK.DELT / T;
        f.denominator = 1.0 + f.k;
    }
    return f;
}

[[gnu::always_inline]] inline double smooth_lag_on(double& gap, double& y_last, double G, double T, double X) {
    const double u = G * X;
    if (first_step_data()) {
        gap = 0.0;
        y_last = u;
    }
    double y;
    if (lag_is_trapezoidal(T)) {
        const SmoothLagFactors& f = trapezoidal_factors(T);
        y = ((gap + u) * f.k + y_last) / f.denominator;
    } else {
        y = y_last + (u - y_last) * lag_step_response(T);
    }
    gap = u - y;
    y_last = y;
    return y;
}

// SMOOTH_LAG's body: the lag on the block's next two STOR slots.
[[gnu::always_inline]] inline double smooth_lag(double G, double T, double X) {
    const BlockSlots s = take_slots({.stor = 2});
    return smooth_lag_on(s.S(0), s.S(1), G, T, X);
}

// Two lags of one gain and time constant stepped together, each as
// smooth_lag_on steps it: the kind of step and its factors decided once.
[[gnu::always_inline]] inline void smooth_lag_pair(double* a, double* b, double G, double T, double Xa, double Xb,
                                                   double& ya, double& yb) {
    const double ua = G * Xa, ub = G * Xb;
    if (first_step_data()) {
        a[0] = 0.0;
        a[1] = ua;
        b[0] = 0.0;
        b[1] = ub;
    }
    if (lag_is_trapezoidal(T)) {
        const SmoothLagFactors& f = trapezoidal_factors(T);
        ya = ((a[0] + ua) * f.k + a[1]) / f.denominator;
        yb = ((b[0] + ub) * f.k + b[1]) / f.denominator;
    } else {
        const double r = lag_step_response(T);
        ya = a[1] + (ua - a[1]) * r;
        yb = b[1] + (ub - b[1]) * r;
    }
    a[0] = ua - ya;
    a[1] = ya;
    b[0] = ub - yb;
    b[1] = yb;
}
