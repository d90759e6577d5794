// Double-exponential surges and the front-and-tail surge; times in
// microseconds from the start time.
#include <cmath>

#include "controls/elementary/block_support.h"
#include "controls/block_slots.h"
#include "controls/elementary/setup_run_blocks.h"
#include "engine/abort.h"
#include "engine/run_state.h"
#include "engine/storage.h"

namespace {

struct Shape {
    double A, alpha, beta;
};

constexpr Shape kShapes[7] = {
    {1.0328, 0.0145, 2.8353},       {4.0, 0.0866, 0.1732},         {1.0363, 0.014576, 2.5293},
    {1.2068, 0.00035239, 0.0080519}, {1.4741, 0.00072065, 0.0065795}, {1.0227, 0.0010222, 0.3063},
    {1.0288, 0.0022548, 0.51343},
};

// Microseconds since the start; none (below zero) up to half a step after it.
double surge_time(double start) {
    const double t = 1.0e6 * (RUN_CLOCK.TIME - start);
    return t <= 5.0e5 * RUN_CLOCK.DELT ? -1.0 : t;
}

}  // namespace

void SURGE_IEEE1(int32_t code, int32_t front_definition, double T1, double T2, double magnitude, double start) {
    const std::string_view name = "SURGE_IEEE1";
    Shape s{0.0, 0.0, 0.0};
    if (code >= 1 && code <= 7) {
        s = kShapes[code - 1];
    } else if (code == -1 || code == -2) {
        if (code == -1) {
            if (std::fabs(T1 - T2) < 1.0e-20) block_data_error(name, "The Alpha and Beta values should be different");
            if (T1 <= 0.0 || T2 <= 0.0) block_data_error(name, "The Alpha and Beta values should be greater than zero");
            s.alpha = T1;
            s.beta = T2;
        } else {
            if (T1 < 1.0e-20) block_data_error(name, "The Wavefront time should be greater than zero");
            if (T2 <= 0.0) block_data_error(name, "The time to half value should be greater than zero");
            s.beta = (front_definition == 0 ? 2.74653 : 3.24318) / T1;
            s.alpha = 0.69315 / T2;
            if (std::fabs(s.alpha - s.beta) < 1.0e-20)
                block_data_error(name, "The Alpha and Beta values should be different");
        }
        const double tp = std::log(s.alpha / s.beta) / (s.alpha - s.beta);
        s.A = 1.0 / (std::exp(-s.alpha * tp) - std::exp(-s.beta * tp));
    }
    store_constants({s.alpha, s.beta, s.A, magnitude, start});
}

void SURGE_IEEE1_RUN(double& output) {
    const BlockSlots s = take_slots({.rtcf = 5});
    const double t = surge_time(s.RF(4));
    output = t < 0.0 ? 0.0 : s.RF(2) * s.RF(3) * (std::exp(-s.RF(0) * t) - std::exp(-s.RF(1) * t));
}

void SURGE_FRONT_TAIL(double S, double th, double tf, double I, double start) {
    const std::string_view name = "SURGE_FRONT_TAIL";
    if (std::fabs(I) <= 1.0e-6 || S <= 1.0e-6) {
        USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 1,
                 "Specified parameters are unrealistically low. Output is set to zero.");
        store_constants({0.0, 0.0, 1.0, 1.0, 1.0, 1.0, 0.0, 0.0, start});
        return;
    }
    if (tf <= 0.0) block_data_error(name, "The front time should be greater than zero.");
    if (I < 0.0) block_data_error(name, "The peak value should not be negative.");
    const double sn = tf * S / I;
    const double n = 1.0 + 2.0 * (sn - 1.0) * (2.0 + 1.0 / sn);
    const double tn = (3.0 * sn * sn / (1.0 + sn * sn)) * 0.6 * tf;
    if (n <= 0.0) block_data_error(name, "The front is too short for this steepness and peak.");
    if (th <= tn) block_data_error(name, "The time to half value should be greater than the front time.");
    double A, B;
    if (std::fabs(n - 1.0) < 1.0e-12) {
        // Front time times steepness equals the peak: the front's limit.
        A = 0.9 * I / tn;
        B = 0.0;
    } else {
        A = (0.9 * I * n / tn - S) / (n - 1.0);
        B = (S * tn - 0.9 * I) / (n - 1.0);
    }
    const double tau1 = (th - tn) / std::log(2.0);
    const double tau2 = 0.1 * I / S;
    if (tau1 == tau2) block_data_error(name, "The tail and the front time constants must differ.");
    // The tail meets the front at tn with 0.9 I and slope S.
    const double q = tau1 * tau2 / (tau1 - tau2);
    const double I1 = (S + 0.9 * I / tau2) * q;
    const double I2 = (S + 0.9 * I / tau1) * q;
    store_constants({A, B, n, tn, tau1, tau2, I1, I2, start});
}

void SURGE_FRONT_TAIL_RUN(double& output) {
    const BlockSlots s = take_slots({.rtcf = 9});
    const double A = s.RF(0), B = s.RF(1), n = s.RF(2), tn = s.RF(3), tau1 = s.RF(4), tau2 = s.RF(5);
    const double t = surge_time(s.RF(8));
    if (t < 0.0) output = 0.0;
    else if (t >= tn) output = s.RF(6) * std::exp((tn - t) / tau1) - s.RF(7) * std::exp((tn - t) / tau2);
    else output = A * t + B * std::pow(t / tn, n);
}
