// Whole-number rounding: nearest, halves away from zero, saturated to 32
// bits, NaN to 0, for every kind of double, as std::round then the clamps
// give it.
#include "platform/logical.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

int32_t rounded(double x) {
    if (std::isnan(x)) return 0;
    const double r = std::round(x);
    if (r >= 2147483647.0) return INT32_MAX;
    if (r <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(r);
}

TEST(Nint, EdgesOfEveryKind) {
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> xs = {0.0, -0.0, 0.5, -0.5, 1.5, -1.5, 2.5, -2.5, 0.49999999999999994, -0.49999999999999994,
                              4503599627370495.5, 4503599627370497.0, 1e300, -1e300, inf, -inf, std::nan(""),
                              std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::denorm_min(),
                              2147483646.5, 2147483646.499999, 2147483647.0, 2147483647.5, 2147483648.0,
                              -2147483647.5, -2147483647.499999, -2147483648.0, -2147483648.5, -2147483649.0};
    for (const double x : xs)
        for (const double y : {x, std::nextafter(x, inf), std::nextafter(x, -inf)})
            EXPECT_EQ(nint(y), rounded(y)) << y;
}

TEST(Nint, RandomValuesOfManyMagnitudes) {
    std::mt19937_64 random(3);
    for (int k = 0; k < 200000; ++k) {
        uint64_t bits = random();
        double x;
        std::memcpy(&x, &bits, sizeof x);
        // Mostly values near the 32-bit range, some of any size.
        if (k % 4 != 0) x = std::ldexp(std::fmod(x, 1.0), static_cast<int>(random() % 34));
        ASSERT_EQ(nint(x), rounded(x)) << x;
    }
}

}  // namespace
