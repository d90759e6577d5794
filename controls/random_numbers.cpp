#include "controls/random_numbers.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

RandomState RANDOM_STATE;

namespace {

constexpr int64_t kModulus = 2147483647, kMultiplier = 16807, kQuotient = 127773, kRemainder = 2836;

}  // namespace

void RNDSEED(int32_t& seed) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm c{};
    localtime_r(&t, &c);
    const int64_t ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    // At most 2120803599; a leap second counts as the 59th, which keeps it
    // within 32 bits.
    const int64_t second = std::min(c.tm_sec, 59);
    int64_t s = 70 * (12 * (31 * (23 * (59 * second + c.tm_min) + c.tm_hour) + c.tm_mday) +
                      (c.tm_mon + 1)) +
                ms;
    if (s % 2 == 0) s -= 1;
    seed = static_cast<int32_t>(s);
}

double RNDUNIF(int32_t& seed) {
    // A multiple of the modulus would hold the generator at 1.0 for ever
    // (and the Gaussian's search for a point inside the circle with it).
    if (seed % kModulus == 0) seed = 1;
    // Schrage's method: no product leaves 32 bits.
    const int64_t k = seed / kQuotient;
    int64_t s = kMultiplier * (seed - k * kQuotient) - kRemainder * k;
    if (s <= 0) s += kModulus;
    seed = static_cast<int32_t>(s);
    return static_cast<double>(s) / 2147483647.0;
}

double RNDGAUSS(int32_t& seed, double limit) {
    RandomState& R = RANDOM_STATE;
    const double L = std::clamp(limit, 1.0, 10.0);
    double g;
    if (R.has_spare) {
        g = R.spare;
        R.has_spare = false;
    } else {
        g = L + 1.0;
    }
    while (std::fabs(g) > L) {
        double a, b, s;
        do {
            a = 2.0 * RNDUNIF(seed) - 1.0;
            b = 2.0 * RNDUNIF(seed) - 1.0;
            s = a * a + b * b;
        } while (!(s > 0.0 && s < 1.0));
        const double f = std::sqrt(-2.0 * std::log(s) / s);
        R.spare = a * f;
        R.has_spare = true;
        g = b * f;
    }
    return g / L;
}

void RNDVAL(int32_t& seed, int32_t mode, double lo, double hi, double limit, double& out) {
    if (seed == 0) RNDSEED(seed);
    if (mode == 0) out = lo + RNDUNIF(seed) * (hi - lo);
    if (mode == 1) out = lo + (RNDGAUSS(seed, limit) + 1.0) * 0.5 * (hi - lo);
}

void RNDNUM(int32_t mode, double lo, double hi, double limit, double& out) {
    RandomState& R = RANDOM_STATE;
    if (!R.seeded) {
        RNDSEED(R.own_seed);
        R.seeded = true;
    }
    RNDVAL(R.own_seed, mode, lo, hi, limit, out);
}
