// The body of the limited lag, washout and lead-lag, inline for the
// converter's modules, which call the lag on every step with constant
// flags and gain.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "controls/block_slots.h"
#include "controls/limit_value.h"
#include "engine/run_state.h"

namespace limited_detail {

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
// Slot k of STORF at F(k), of STORI at I(k).
template <class FSlots, class ISlots>
[[gnu::always_inline]] inline double limited_on(const LimitedCall& b, const FSlots& F, const ISlots& I) {
    const bool lead_lag = b.kind == Kind::lead_lag;
    const double DELT = RUN_CLOCK.DELT;
    double& x_last = F(0);
    double& w = F(1);
    double& out = F(lead_lag ? 5 : 4);
    int32_t& held = I(0);
    // A count restored from a snapshot may stand at the largest integer:
    // it stays there rather than overflowing.
    int32_t n = 0;
    if (__builtin_add_overflow(held, 1, &n)) n = held;
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

    double& cached_T = F(2);
    double& f = F(3);
    int32_t& cached_n = I(1);
    if (std::fabs(b.T - cached_T) >= 1e-10 || n != cached_n) {
        f = std::fabs(b.T) >= 1e-20 ? std::exp(-n * DELT / b.T) : 0.0;
        if (lead_lag) F(4) = std::fabs(b.T) >= 1e-20 ? f / b.T : 1.0 / (n * DELT);
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
        w = w * f + b.X * (1.0 - f) + (b.X - x_last) * b.T1 * F(4);
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

[[gnu::always_inline]] inline double limited(const LimitedCall& b) {
    const int32_t nf = b.kind == Kind::lead_lag ? 6 : 5;
    const BlockSlots s = take_slots({.storf = nf, .stori = 2});
    // The slots reached directly where both blocks lie inside their stores.
    if (s.storf >= 1 && int64_t{s.storf} + nf - 1 <= STORAGE.STORF.size() && s.stori >= 1 &&
        int64_t{s.stori} + 1 <= STORAGE.STORI.size()) {
        double* const f = STORAGE.STORF.data() + (s.storf - 1);
        int32_t* const i = STORAGE.STORI.data() + (s.stori - 1);
        return limited_on(
            b, [f](int32_t k) -> double& { return f[k]; }, [i](int32_t k) -> int32_t& { return i[k]; });
    }
    return limited_on(
        b, [&s](int32_t k) -> double& { return s.F(k); }, [&s](int32_t k) -> int32_t& { return s.I(k); });
}

}  // namespace limited_detail

// LAG_LIMITED's body.
[[gnu::always_inline]] inline double lag_limited(int32_t reset, int32_t enable, int32_t limit, double G, double T,
                                                 double X, double Y0, double lower, double upper) {
    using namespace limited_detail;
    return limited({Kind::lag, reset != 0, enable != 0, limit != 0, 0.0, T, G, X, Y0, lower, upper});
}
