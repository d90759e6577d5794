#include <algorithm>
#include <cmath>

#include "controls/block_slots.h"
#include "controls/limit_value.h"
#include "controls/linear/linear_blocks.h"
#include "engine/run_state.h"

namespace {

enum class Kind { lag, washout, lead_lag };

struct LimitedCall {
    Kind kind;
    bool reset, enable, limit;
    double T1, T, G, X, Y0, lower, upper;
};

// STORF +0 the input at the last enabled call, +1 the state w = y / G, +2
// the time constant of the cached factor, +3 the decay f, then (lead-lag)
// the lead factor, then the output. STORI +0 calls since the last enabled
// call, +1 the step count of the cached factor.
[[gnu::always_inline]] inline double limited(const LimitedCall& b) {
    const bool lead_lag = b.kind == Kind::lead_lag;
    const BlockSlots s = take_slots({.storf = lead_lag ? 6 : 5, .stori = 2});
    const double DELT = RUN_CLOCK.DELT;
    double& x_last = s.F(0);
    double& w = s.F(1);
    double& out = s.F(lead_lag ? 5 : 4);
    int32_t& held = s.I(0);
    const int32_t n = held + 1;
    const double r = std::fabs(b.G) > 1e-38 ? 1.0 / b.G : 0.0;
    const bool first = first_step_data();
    const auto limited_output = [&](double v) { return b.limit ? limit_value(b.lower, b.upper, v) : v; };

    if (!b.enable) {
        if (b.reset) {
            w = limited_output(b.Y0) * r;
            out = b.G * w;
        } else if (first) {
            if (b.kind == Kind::washout) {
                out = b.limit ? b.G * (limit_value(b.lower, b.upper, 0.0) * r) : 0.0;
            } else {
                w = limited_output(b.G * b.X) * r;
                out = b.G * w;
            }
        }
        held = n;
        return out;
    }

    double& cached_T = s.F(2);
    double& f = s.F(3);
    int32_t& cached_n = s.I(1);
    if (std::fabs(b.T - cached_T) >= 1e-10 || n != cached_n) {
        f = std::fabs(b.T) >= 1e-20 ? std::exp(-n * DELT / b.T) : 0.0;
        if (lead_lag) s.F(4) = std::fabs(b.T) >= 1e-20 ? f / b.T : 1.0 / (n * DELT);
        cached_T = b.T;
        cached_n = n;
    }
    if (b.reset) {
        w = b.Y0 * r;
    } else if (first) {
        w = b.kind == Kind::washout ? 0.0 : b.G * b.X * r;
    } else if (b.kind == Kind::lag) {
        w = w * f + b.X * (1.0 - f);
    } else if (b.kind == Kind::washout) {
        w = (w + b.X - x_last) * f;
    } else {
        w = w * f + b.X * (1.0 - f) + (b.X - x_last) * b.T1 * s.F(4);
    }
    if (b.limit) {
        // With a negative gain the scaled bounds swap places.
        const double lo = b.lower * r, hi = b.upper * r;
        w = limit_value(std::min(lo, hi), std::max(lo, hi), w);
    }
    out = b.G * w;
    x_last = b.X;
    held = 0;
    return out;
}

}  // namespace

double LAG_LIMITED(int32_t reset, int32_t enable, int32_t limit, double G, double T, double X, double Y0, double lower,
                   double upper) {
    return limited({Kind::lag, reset != 0, enable != 0, limit != 0, 0.0, T, G, X, Y0, lower, upper});
}

double WASHOUT_LIMITED(int32_t reset, int32_t enable, int32_t limit, double G, double T, double X, double Y0,
                       double lower, double upper) {
    return limited({Kind::washout, reset != 0, enable != 0, limit != 0, 0.0, T, G, X, Y0, lower, upper});
}

double LEAD_LAG_LIMITED(int32_t reset, int32_t enable, int32_t limit, double T1, double T2, double G, double X,
                        double Y0, double lower, double upper) {
    return limited({Kind::lead_lag, reset != 0, enable != 0, limit != 0, T1, T2, G, X, Y0, lower, upper});
}
