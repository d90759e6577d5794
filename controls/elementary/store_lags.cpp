// Derivative, lag, washout, lead-lag and the state-variable filter on STOR.
// The lags use the trapezoidal rule when the time constant spans more than
// five steps and the exact step response below that.
#include <cmath>

#include "controls/block_slots.h"
#include "controls/elementary/smooth_lag.h"
#include "controls/elementary/store_blocks.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "platform/logical.h"

double DERIV_STOR(double G, double X) {
    const BlockSlots s = take_slots({.stor = 1});
    double& last = s.S(0);
    const double u = G * X;
    if (first_step_data()) last = u;
    const double result = (u - last) / RUN_CLOCK.DELT;
    last = u;
    return result;
}

double SMOOTH_LAG(double G, double T, double X) { return smooth_lag(G, T, X); }

double WASHOUT_STOR(double T, double X) {
    const BlockSlots s = take_slots({.stor = 2});
    double& lag = s.S(0);
    double& result_last = s.S(1);
    if (first_step_data()) {
        lag = X;
        result_last = 0.0;
    }
    double y;
    if (lag_is_trapezoidal(T)) {
        const double k = 0.5 * RUN_CLOCK.DELT / T;
        y = (lag + (result_last + X) * k) / (1.0 + k);
    } else {
        y = lag + (X - lag) * lag_step_response(T);
    }
    lag = y;
    result_last = X - y;
    return X - y;
}

double LEAD_LAG_STOR(double T1, double T2, double G, double X) {
    const BlockSlots s = take_slots({.stor = 2});
    double& rate = s.S(0);
    double& state = s.S(1);
    const double u = G * X;
    const bool no_lag = std::fabs(T2) < 1.0e-20;
    if (first_step_data()) {
        rate = 0.0;
        state = no_lag ? u : u * (1.0 - T1 / T2);
    }
    const double dt = RUN_CLOCK.DELT;
    if (no_lag) {
        const double result = u + (u - state) * T1 / dt;
        state = u;
        rate = u;
        return result;
    }
    if (lag_is_trapezoidal(T2)) {
        const double v = (T1 / T2) * u;
        const double s = (u - v - state) / T2;
        const double result = state + v;
        state += (s + rate) * 0.5 * dt;
        rate = s;
        return result;
    }
    const double w = u * (1.0 - T1 / T2);
    state += lag_step_response(T2) * (w - state);
    rate = (w - state) / T2;
    return (T1 / T2) * u + state;
}

double STATE_VAR_FILTER(int32_t type, double G, double damping, double w, double X) {
    const BlockSlots s = take_slots({.stor = 5});
    double& band_before = s.S(0);
    double& band = s.S(1);
    double& low = s.S(2);
    double& low_before = s.S(3);
    double& damp = s.S(4);
    const double dw = RUN_CLOCK.DELT * std::fabs(w);
    if (first_step_data()) {
        band_before = band = low_before = 0.0;
        low = G * X;
        // Above 1 the argument is a quality factor.
        const double z = std::fabs(damping) > 1.0 ? 0.5 / std::fabs(damping) : damping;
        damp = dw + z;
    }
    const double high = G * X - 2.0 * damp * band - low;
    double out;
    switch (type) {
        case 2: out = band; break;
        case 3: out = high; break;
        case 4: out = band + low; break;
        case 5: out = low + high; break;
        case 6: out = band + high; break;
        case 7: out = low - band; break;
        case 8: out = low - high; break;
        case 9: out = band - high; break;
        default: out = low; break;
    }
    // Two-step integration with the constants at seven digits.
    const double new_band = 1.333333 * band - 0.3333333 * band_before + 0.6666667 * dw * high;
    const double new_low = 1.333333 * low - 0.333333 * low_before + 0.6666667 * dw * band;
    band_before = band;
    low_before = low;
    band = new_band;
    low = new_low;
    return out;
}
