// Triangle carrier, counter, ramp, trapezoidal surge, three-slope transfer
// function, rate limiter and relation test.
#include <algorithm>
#include <cmath>

#include "controls/elementary/block_support.h"
#include "controls/block_slots.h"
#include "controls/elementary/setup_run_blocks.h"
#include "engine/abort.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "platform/logical.h"


void SAWTOOTH(double maximum, double minimum) {
    if (maximum <= minimum) block_data_error("SAWTOOTH", "Maximum must be greater than minimum");
    const BlockSlots s = take_slots({.rtcf = 2});
    s.RF(0) = maximum;
    s.RF(1) = minimum;
}

void TRIANGLE_WAVE(double frequency, double& output) {
    const BlockSlots s = take_slots({.storf = 1, .stori = 1, .rtcf = 2});
    const double top = s.RF(0), bottom = s.RF(1);
    double& last = s.F(0);
    int32_t& direction = s.I(0);
    double out = last + RUN_CLOCK.DELT * frequency * direction * 2.0 * (top - bottom);
    if (out > top) {
        out = 2.0 * top - out;
        direction = -1;
    }
    if (out < bottom) {
        out = 2.0 * bottom - out;
        direction = 1;
    }
    if (first_step_data()) {
        out = 0.5 * (top + bottom);
        direction = 1;
    }
    last = out;
    output = out;
}

void COUNTER(int32_t lower, int32_t upper, int32_t wrap) {
    const BlockSlots s = take_slots({.rtci = 3});
    s.RI(0) = lower;
    s.RI(1) = upper;
    s.RI(2) = wrap;
    if (upper <= lower) block_data_error("COUNTER", "Lower value must be less than upper value.");
}

void COUNTER_RUN(int32_t step, int32_t reset, int32_t reset_value, int32_t& output) {
    const BlockSlots s = take_slots({.stori = 1, .rtci = 3});
    const int32_t lower = s.RI(0), upper = s.RI(1);
    const bool wrap = s.RI(2) != 0;
    int32_t& count = s.I(0);
    if (first_step_data()) count = reset_value;
    if (step >= 1) {
        if (count >= upper) count = wrap ? lower : upper;
        else count += 1;
    } else if (step < 0) {
        if (count <= lower) count = wrap ? upper : lower;
        else count -= 1;
    }
    if (reset != 0) count = std::min(std::max(reset_value, lower), upper);
    output = count;
}

void RAMP(double x1, double x2, double y1, double y2) {
    if (x2 <= x1) block_data_error("RAMP", "Start of ramp should be less than saturating input");
    if (std::fabs(y1 - y2) < 1.0e-20)
        USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 1, "Outputs at the begining and at the end of ramp are the same.");
    store_constants({x1, x2, y1, y2, (y2 - y1) / (x2 - x1)});
}

void RAMP_RUN(double x, double& output) {
    const BlockSlots s = take_slots({.rtcf = 5});
    if (x <= s.RF(0)) output = s.RF(2);
    else if (x > s.RF(1)) output = s.RF(3);
    else output = s.RF(2) + s.RF(4) * (x - s.RF(0));
}

void SURGE(double X1, double X2, double X3, double X4, double height) {
    bool bad = false;
    const auto check = [&bad](bool wrong, const char* text) {
        if (!wrong) return;
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, text);
        bad = true;
    };
    check(X2 < X1, "X1 Cannot be greater than X2");
    check(X3 < X2, "X2 Cannot be greater than X3");
    check(X4 < X3, "X3 Cannot be greater than X4");
    check(X4 <= X1, "X1 must be less than X4");
    if (bad) ABORT_RUN("SURGE", 0);
    const BlockSlots s = take_slots({.rtcl = 3});
    s.RL(0) = as_logical(X2 > X1);
    s.RL(1) = as_logical(X4 > X3);
    s.RL(2) = as_logical(X3 > X2);
    const double k1 = X2 == X1 ? 0.0 : height / (X2 - X1);
    const double k2 = X4 == X3 ? 0.0 : height / (X3 - X4);
    store_constants({k1, k2, -X1 * k1, -X4 * k2, X1, X2, X3, X4, height});
}

void SURGE_RUN(double x, double& output) {
    const BlockSlots s = take_slots({.rtcf = 9, .rtcl = 3});
    const bool rising = is_true(s.RL(0)), falling = is_true(s.RL(1)), flat = is_true(s.RL(2));
    const double k1 = s.RF(0), k2 = s.RF(1), X1 = s.RF(4), X2 = s.RF(5), X3 = s.RF(6), X4 = s.RF(7);
    if (x <= X1) output = 0.0;
    else if (rising && x <= X2) output = k1 * x - X1 * k1;
    else if (flat && x <= X3) output = s.RF(8);
    else if (falling && x <= X4) output = k2 * x - X4 * k2;
    else output = 0.0;
}

void TXFER_FUNC(double x1, double y1, double x2, double y2, double slope_below, double slope_above) {
    if (x2 < x1) block_data_error("TXFER_FUNC", "Upper threshold cannot be less than lower threshold.");
    store_constants({x1, y1, x2, y2, slope_below, slope_above, x2 == x1 ? 0.0 : (y2 - y1) / (x2 - x1)});
}

void TXFER_FUNC_RUN(double x, double& output) {
    const BlockSlots s = take_slots({.rtcf = 7});
    const double x1 = s.RF(0), y1 = s.RF(1), x2 = s.RF(2), y2 = s.RF(3);
    if (x <= x1) output = y1 - (x1 - x) * s.RF(4);
    else if (x < x2) output = y1 + (x - x1) * s.RF(6);
    else output = y2 + (x - x2) * s.RF(5);
}

void RATE_LIMIT_F(double rise, double fall, double X, double& output) {
    double& last = take_slots({.storf = 1}).F(0);
    if (first_step_data()) last = X;
    last = limit_rate(last, X, std::fabs(rise) * RUN_CLOCK.DELT, std::fabs(fall) * RUN_CLOCK.DELT);
    output = last;
}

void ON_OFF_COMPARE(int32_t code, double A, double B, int32_t& result) {
    bool holds = false;
    switch (code) {
        case 1: holds = A < B; break;
        case 2: holds = A <= B; break;
        case 3: holds = A > B; break;
        case 4: holds = A >= B; break;
        default: break;
    }
    result = holds ? 1 : 0;
}
