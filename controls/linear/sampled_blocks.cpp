#include <algorithm>
#include <cmath>

#include "controls/block_slots.h"
#include "controls/limit_value.h"
#include "controls/linear/linear_blocks.h"
#include "engine/run_state.h"

namespace {

enum class Kind { lag, diff_lag, lead_lag, integrator };

struct SampledCall {
    Kind kind;
    double T1, T, G, X, Y0, lower, upper;
    int32_t reset, enable;
};

// STOR slot k is S(k - 1): 1 the last input, 2 the output, 3 the time
// constant of the cached factors, 4 the decay (integrator: step gain),
// 5 1/Te, 6 calls held, 7 the step count of the cached factors; counts are
// kept as doubles.
double sampled(const BlockSlots& s, const SampledCall& b) {
    const double h = RUN_CLOCK.DELT;
    double& x_last = s.S(0);
    double& y = s.S(1);
    double& held = s.S(5);
    const int32_t n = nint(held) + 1;
    if (b.enable != 1) {
        if (b.reset == 1) {
            x_last = b.X;
            y = b.Y0;
        }
        held = n;
        return y;
    }
    double& cached_T = s.S(2);
    double& f = s.S(3);
    double& rate = s.S(4);
    double& cached_n = s.S(6);
    if (std::fabs(b.T - cached_T) >= 1e-10 || n != nint(cached_n)) {
        switch (b.kind) {
            case Kind::lag:
                f = std::fabs(b.T) >= 1e-20 ? std::exp(-n * h / b.T) : 0.0;
                break;
            case Kind::integrator:
                f = std::fabs(b.T) >= 1e-20 ? 0.5 * n * h / b.T : 0.0;
                break;
            default: {
                const double Te = std::fabs(b.T) >= h ? b.T : h;
                rate = 1.0 / Te;
                f = std::exp(-rate * n * h);
            }
        }
        cached_T = b.T;
        cached_n = n;
    }
    double next = b.Y0;
    if (b.reset != 1) {
        switch (b.kind) {
            case Kind::lag:
                next = y * f + (1.0 - f) * b.G * b.X;
                break;
            case Kind::diff_lag:
                next = y * f + (b.X - x_last) * b.G * f * rate;
                break;
            case Kind::lead_lag:
                next = b.G * b.X * (1.0 - f) + y * f + (b.X - x_last) * b.T1 * b.G * f * rate;
                break;
            case Kind::integrator:
                next = y + (x_last + b.X) * f;
                break;
        }
    }
    if (b.kind == Kind::integrator) next = std::max(b.lower, std::min(b.upper, next));
    if (b.kind == Kind::lead_lag && b.reset == 1)
        x_last = std::fabs(b.G) < 1e-10 ? 0.0 : b.Y0 / b.G;
    else
        x_last = b.X;
    y = next;
    held = 0.0;
    return y;
}

constexpr SlotCounts kSampledSlots{.stor = 8};

}  // namespace

double LAG_SAMPLED(double G, double T, double X, double Y0, int32_t reset, int32_t enable) {
    return sampled(take_slots(kSampledSlots), {Kind::lag, 0.0, T, G, X, Y0, 0.0, 0.0, reset, enable});
}

double DIFF_LAG_SAMPLED(double G, double T, double X, double Y0, int32_t reset, int32_t enable) {
    return sampled(take_slots(kSampledSlots), {Kind::diff_lag, 0.0, T, G, X, Y0, 0.0, 0.0, reset, enable});
}

double LEAD_LAG_SAMPLED(double T1, double T2, double G, double X, double Y0, int32_t reset, int32_t enable) {
    return sampled(take_slots(kSampledSlots), {Kind::lead_lag, T1, T2, G, X, Y0, 0.0, 0.0, reset, enable});
}

double INTEGRATOR_SAMPLED(double Y0, double lower, double upper, double T, double X, int32_t reset, int32_t enable) {
    return sampled(take_slots(kSampledSlots), {Kind::integrator, 0.0, T, 1.0, X, Y0, lower, upper, reset, enable});
}

double PI_SAMPLED(double Kp, double T, double lower, double upper, double Y0, double X, int32_t reset, int32_t enable) {
    // Slots 1-8 the integrator's, 9 the proportional part, held with it.
    const BlockSlots s = take_slots({.stor = 9});
    double& P = s.S(8);
    if (enable == 1) P = Kp * X;
    const double I = sampled(s, {Kind::integrator, 0.0, T, 1.0, X, Y0 - P, lower, upper, reset, enable});
    return limit_value(lower, upper, I + P);
}
