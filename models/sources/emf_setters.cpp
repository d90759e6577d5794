#include "models/sources/emf_setters.h"

#include <climits>
#include <cmath>

#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "models/sources/voltage_sources.h"
#include "network/network_tables.h"
#include "platform/text_units.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kThird = 2.094395102393195;

bool first_step() { return is_true(RUN_FLAGS.FIRST_STEP_DATA); }

// The magnitude of a signed number; the one without a positive stays as
// it is and fails every index check.
int32_t magnitude_of(int32_t x) { return x == INT32_MIN ? x : std::abs(x); }

// The magnitude ramped up until T from the slope kept at NEXC.
double ramped(double magnitude, double ramp) {
    const double time = RUN_CLOCK.TIME;
    return time < ramp ? magnitude * time * STORAGE.STOR(POINTER_BLOCK.NEXC) : magnitude;
}

void keep_slope(double ramp) {
    if (ramp > RUN_CLOCK.DELT) STORAGE.STOR(POINTER_BLOCK.NEXC) = 1.0 / ramp;
}

}  // namespace

double EBR_ANGLE(double omega) {
    FArray1<double>& F = STORAGE.STORF;
    const int32_t f = POINTER_BLOCK.NSTORF;
    POINTER_BLOCK.NSTORF = f + 2;
    double theta = 0.0;
    if (!first_step()) {
        theta = F(f + 1) + omega * (RUN_CLOCK.TIME - F(f));
        F(f) = RUN_CLOCK.TIME;
    }
    if (theta > kTwoPi)
        theta -= kTwoPi;
    else if (theta < 0.0)
        theta += kTwoPi;
    F(f + 1) = theta;
    return theta;
}

void EBR1P2(int32_t ss, int32_t br, double magnitude, double omega, double phase, double ramp, int32_t dc) {
    POINTER_BLOCK.NEXC += 1;
    if (first_step()) {
        CHK_SOURCE_BRANCH("EBR1P2", br, ss);
        keep_slope(ramp);
    }
    const double m = ramped(magnitude, ramp);
    const double theta = EBR_ANGLE(omega) + phase;
    NET.EBR(br, ss) = dc == 0 ? m * std::sin(theta) : m;
}

void EBR3P2(int32_t ss, int32_t a, int32_t b, int32_t c, double magnitude, double omega, double phase, double ramp) {
    POINTER_BLOCK.NEXC += 1;
    if (first_step()) {
        const Text12 name("EBR3P2");
        for (int32_t br : {a, b, c}) CHK_SOURCE_BRANCH(name, br, ss);
        // An odd count of negative numbers, told without forming the
        // product, which overflows for large branch numbers.
        if ((a < 0) != ((b < 0) != (c < 0))) {
            write_list(UNIT_CONSOLE_OUT, {"EBR3P2: Negative branch number"});
            ABORT_RUN(name, 0);
        }
        keep_slope(ramp);
    }
    const double m = ramped(magnitude, ramp);
    const double theta = EBR_ANGLE(omega) + phase;
    NetworkTables& N = NET;
    N.EBR(a, ss) = m * std::sin(theta);
    N.EBR(b, ss) = m * std::sin(theta - kThird);
    N.EBR(c, ss) = m * std::sin(theta + kThird);
}

void ESYS1(int32_t ss, int32_t a, int32_t b, int32_t c, double magnitude, double frequency, double phase) {
    const int32_t branch[] = {magnitude_of(a), magnitude_of(b), magnitude_of(c)};
    const double polarity[] = {a < 0 ? -1.0 : 1.0, b < 0 ? -1.0 : 1.0, c < 0 ? -1.0 : 1.0};
    const bool star = ss > 0;
    const int32_t s = magnitude_of(ss);
    FArray1<double>& stor = STORAGE.STOR;
    const int32_t n = POINTER_BLOCK.NEXC;
    const double delt = RUN_CLOCK.DELT, time = RUN_CLOCK.TIME;
    const double omega = std::fabs(frequency);
    if (first_step()) {
        for (int32_t br : branch) CHK_SOURCE_BRANCH("ESYS1", br, s);
        // One step back, so that the first step's angle is 0 whatever the
        // sign of the frequency.
        stor(n + 1) = -delt * omega;
    }
    const double theta0 = stor(n + 1) + delt * omega;
    double m = magnitude;
    if (frequency < 0.0 && time < 18.84955592 / omega) m = time * 0.053051648 * magnitude * omega;
    const double theta = theta0 > kTwoPi ? theta0 - kTwoPi : theta0;
    stor(n + 1) = theta;
    double alpha = theta + phase;
    if (!star) {
        m *= 1.732050807568877;
        alpha += 0.523598776;
    }
    const double shift[] = {0.0, -kThird, kThird};
    for (int k = 0; k < 3; ++k) NET.EBR(branch[k], s) = m * polarity[k] * std::sin(alpha + shift[k]);
    POINTER_BLOCK.NEXC = n + 1;
}

double LINTERP2(double x, double x1, double y1, double x2, double y2) {
    if (x <= x1) return y1;
    if (x >= x2 || std::fabs(x2 - x1) <= 1e-20) return y2;
    return y1 + (y2 - y1) * (x - x1) / (x2 - x1);
}
