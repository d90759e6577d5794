// The direct G23.14 writer against the shared formatter, value by value.
#include "platform/g_field.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "platform/fortran_format.h"

namespace {

std::string direct(double x) {
    char f[G23_WIDTH];
    put_g23_14(x, f);
    return std::string(f, G23_WIDTH);
}

TEST(GField, SameAsTheSharedFormatter) {
    std::vector<double> values{0.0, 1.5, 5e-5, 0.09999999999999999, 9.9999999999999e98, 1e-99, 1e99, 1e100,
                               1e-100, 5e-324, 1e13 + 0.5, 99999999999999.5, std::numeric_limits<double>::max(),
                               std::numeric_limits<double>::infinity(), std::nan("")};
    // A few units in the last place either side of every change of form or
    // of the number of decimals.
    const double r = 1.0 - 0.5 / 1e14;
    for (int k = -1; k <= 15; ++k) {
        for (double c : {std::pow(10.0, k) * r, std::pow(10.0, k), 1e14 - 0.5}) {
            for (int i = 0; i < 4; ++i) c = std::nextafter(c, 0.0);
            for (int i = 0; i < 9; ++i, c = std::nextafter(c, 1e300)) values.push_back(c);
        }
    }
    // Powers of ten far from the fixed form, where the exponent moves on
    // rounding, and whole numbers of 15 digits ending in 5: exact halves.
    for (int k = -30; k <= 45; ++k) {
        double c = std::pow(10.0, k);
        for (int i = 0; i < 3; ++i) c = std::nextafter(c, 0.0);
        for (int i = 0; i < 7; ++i, c = std::nextafter(c, 1e300)) values.push_back(c);
    }
    for (double w : {100000000000005.0, 123456789012345.0, 999999999999995.0, 9007199254740985.0}) values.push_back(w);
    std::mt19937_64 gen(20261207);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-105, 105);
    for (int i = 0; i < 200000; ++i) values.push_back(mantissa(gen) * std::pow(10.0, exponent(gen)));
    // Short decimals, where ties and carries happen.
    for (int i = 0; i < 20000; ++i) values.push_back(std::round(mantissa(gen) * 1e6) / std::pow(10.0, exponent(gen) % 20));
    int shown = 0;
    for (double x : values) {
        for (double s : {x, -x}) {
            const std::string want = edit("G23.14", s);
            if (direct(s) != want && shown++ < 10) ADD_FAILURE() << s << ": [" << direct(s) << "] [" << want << "]";
        }
    }
}

// Doubles from random bit patterns: every exponent, subnormals and the
// odd mantissas that decimal-looking values never reach.
TEST(GField, SameForRandomBitPatterns) {
    std::mt19937_64 gen(7131);
    int shown = 0;
    for (int i = 0; i < 300000; ++i) {
        uint64_t bits = gen();
        // Half of them near the fixed form, where most values fall.
        if (i % 2 == 0) bits = (bits & 0x800fffffffffffffULL) | (uint64_t{1000 + static_cast<uint64_t>(i) % 90} << 52);
        double x;
        std::memcpy(&x, &bits, sizeof x);
        const std::string want = edit("G23.14", x);
        if (direct(x) != want && shown++ < 10) ADD_FAILURE() << x << ": [" << direct(x) << "] [" << want << "]";
    }
}

}  // namespace
