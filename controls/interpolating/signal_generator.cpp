#include <cmath>
#include <numbers>
#include <string_view>

#include "controls/block_slots.h"
#include "controls/interpolating/interpolating_blocks.h"
#include "controls/limit_value.h"
#include "engine/abort.h"
#include "engine/messages.h"
#include "engine/run_state.h"

namespace {

constexpr double kLeastFrequency = 1e-6;

struct WaveShape {
    int32_t type, flag;
    double phase, frequency, duty, maximum, minimum;
};

// The two warnings and how they are given.
struct Warnings {
    bool as_userwarn;
    std::string_view too_small, negative;
};

void warn(const Warnings& w, std::string_view text) {
    if (w.as_userwarn)
        USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 1, text);
    else
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 1, 1, text);
}

// The generator's step on its slots: period, rise time and slopes kept
// until the frequency argument changes.
void generate(const WaveShape& g, const Warnings& w, INTERP_PAIR& result) {
    const BlockSlots s = take_slots({.storf = 6, .storl = 1});
    const double DELT = RUN_CLOCK.DELT;
    double& t_in_period = s.F(0);
    double& period = s.F(1);
    double& rise = s.F(2);
    double& rising = s.F(3);
    double& falling = s.F(4);
    double& used_frequency = s.F(5);
    Logical& high = s.L(0);
    const bool first = first_step_data();
    double rising_now = 0.0, falling_now = 0.0;  // slopes of this call's recompute
    bool recompute = first || std::fabs(g.frequency - used_frequency) > 1e-20;
    if (recompute) {
        double f;
        if (g.frequency <= kLeastFrequency && g.frequency >= -kLeastFrequency) {
            warn(w, w.too_small);
            f = kLeastFrequency;
        } else if (g.frequency < -kLeastFrequency) {
            warn(w, w.negative);
            f = -g.frequency;
            if (std::fabs(used_frequency + g.frequency) < 1e-20) recompute = false;
        } else {
            f = g.frequency;
            if (used_frequency < 0.0 && std::fabs(used_frequency + g.frequency) < 1e-20) recompute = false;
        }
        if (recompute) {
            const double P = 1.0 / f;
            high = LFALSE;
            const double r = limit_value(0.0, 100.0, g.duty) * P / 100.0;
            const double span = g.maximum - g.minimum;
            rising_now = r > 0.5 * DELT ? span / r : 0.0;
            falling_now = P - r > 0.5 * DELT ? span / (P - r) : 0.0;
            if (first) t_in_period = g.phase * P / 360.0;
            period = P;
            rise = r;
            rising = rising_now;
            falling = falling_now;
            used_frequency = g.frequency;
        }
    }
    result.time = 0.0;
    double t = t_in_period;
    if (t >= period) {
        t -= period;
        if (g.type == 2 && g.flag == 1) result.time = t;
    }
    if (g.type == 2) {
        if (g.flag == 1) {
            if (t >= rise) {
                result.value = g.minimum;
                if (is_true(high)) result.time = t - rise;
                high = LFALSE;
            } else {
                result.value = g.maximum;
                high = LTRUE;
            }
        } else {
            result.value = t >= rise ? g.minimum : g.maximum;
        }
    } else {
        const double up = g.type == 1 ? rising : rising_now;
        const double down = g.type == 1 ? falling : falling_now;
        result.value = t > rise ? g.maximum - down * (t - rise) : g.minimum + t * up;
    }
    t_in_period = t + DELT;
}

}  // namespace

void SIGNAL_GENERATOR(int32_t type, int32_t flag, double phase, double frequency, double duty, double maximum,
                      double minimum, INTERP_PAIR& result) {
    // A phase outside a turn would start the wave outside its range.
    double turn = std::fmod(phase, 360.0);
    if (turn < 0.0) turn += 360.0;
    if (turn >= 360.0) turn = 0.0;
    static constexpr Warnings w{false, "SIGNAL GENERATOR - Frequency is too small, 1.0E-6 is assumed.",
                                "SIGNAL GENERATOR - Frequency is negative, absolute value is assumed."};
    generate({type, flag, turn, frequency, duty, maximum, minimum}, w, result);
}

void E_XSGEN(int32_t type, double phase, double duty, double maximum, double minimum) {
    const BlockSlots s = take_slots({.rtcf = 4});
    constexpr double deg = 180.0 / std::numbers::pi;
    double turn = deg * std::atan2(std::sin(phase / deg), std::cos(phase / deg));
    if (turn <= 0.0) turn += 360.0;
    bool bad = false;
    if (maximum <= minimum) {
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, "Maximum must be greater than Minimim");
        bad = true;
    }
    if (type == 2 && (duty <= 1e-20 || duty >= 100.0)) {
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, "Duty cycle cannot be 0 or 100 for a pulse");
        bad = true;
    }
    if (bad) ABORT_RUN("E_XSGEN", 0);
    s.RF(0) = turn;
    s.RF(1) = limit_value(0.0, 100.0, duty);
    s.RF(2) = maximum;
    s.RF(3) = minimum;
}

void E_XSGEN_RUN(int32_t type, double frequency, INTERP_PAIR& result) {
    const BlockSlots s = take_slots({.rtcf = 4});
    static constexpr Warnings w{true, "Frequency is too small, 1.0E-6 is assumed",
                                "Frequency is negative, Absolute value is assumed"};
    generate({type, 1, s.RF(0), frequency, s.RF(1), s.RF(2), s.RF(3)}, w, result);
}

void IMPULSE(int32_t area_flag, double first_time, double height, double frequency) {
    const BlockSlots s = take_slots({.rtcf = 4});
    bool bad = false;
    const auto check = [&bad](bool fails, std::string_view text) {
        if (!fails) return;
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, text);
        bad = true;
    };
    check(frequency <= 0.0, "Frequency must be greater than zero");
    check(first_time < 0.0, "Time of first impulse cannot be negative");
    check(height <= 0.0, "Height of impulse must be greater than zero");
    if (bad) ABORT_RUN("IMPULSE", 0);
    s.RF(0) = area_flag == 1 ? height / RUN_CLOCK.DELT : height;
    s.RF(1) = first_time;
    s.RF(2) = first_time;
    s.RF(3) = frequency > 1e-12 ? 1.0 / frequency : 1.0e12;
}

void IMPULSE_RUN(INTERP_PAIR& result) {
    const BlockSlots s = take_slots({.stori = 1, .rtcf = 4});
    const double DELT = RUN_CLOCK.DELT, TIME = RUN_CLOCK.TIME;
    double& next = s.RF(1);
    int32_t& count = s.I(0);
    result = {0.0, 0.0};
    if (next - 1e-4 * DELT < TIME) {
        result = {s.RF(0), std::max(TIME - next, 0.0)};
        ++count;
        next = s.RF(2) + count * s.RF(3);
    }
}
