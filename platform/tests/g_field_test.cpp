// The direct G23.14 writer against the shared formatter, value by value.
#include "platform/g_field.h"

#include <gtest/gtest.h>

#include <cmath>
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

// Values around every place where the form or the number of decimals
// changes, a few units in the last place either side.
std::vector<double> edge_values() {
    std::vector<double> v{0.0, -0.0, 1.5, 5e-5, 1e-3, 0.09999999999999999, 9.9999999999999e98, -9.9999999999999e98,
                          1e-99, 1e99, 1e100, 1e-100, 1e300, 5e-324, std::numeric_limits<double>::max(),
                          std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                          std::nan(""), 1e13 + 0.5, 0.125, 2.5e-15, 99999999999999.5, 1e14 - 0.5};
    const double r = 1.0 - 0.5 / 1e14;
    std::vector<double> centres{0.1 * r, 0.1, 1e14 - 0.5, 1e14};
    for (int k = -1; k <= 14; ++k) centres.push_back(std::pow(10.0, k) * r);
    for (double c : centres) {
        double lo = c, hi = c;
        for (int i = 0; i < 4; ++i) {
            v.push_back(lo);
            v.push_back(hi);
            lo = std::nextafter(lo, 0.0);
            hi = std::nextafter(hi, 1e300);
        }
    }
    return v;
}

TEST(GField, SameAsTheSharedFormatter) {
    std::vector<double> values = edge_values();
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

}  // namespace
