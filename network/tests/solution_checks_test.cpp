// The node voltages' copy with its finiteness test: every bit copied, and
// a NaN or an infinity found wherever it lies among the values.
#include "network/solution_checks.h"
#include "network/solution_loops.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

namespace {

// Both the plain and the vector form, over lengths that end inside and
// past their blocks of four and eight.
void expect_copy_finite() {
    using limits = std::numeric_limits<double>;
    const double finite[] = {0.0, -0.0, 1.0, -2.5, limits::max(), -limits::max(), limits::denorm_min(), 1e-300};
    const double bad[] = {limits::quiet_NaN(), -limits::quiet_NaN(), limits::infinity(), -limits::infinity()};
    for (int32_t n = 0; n <= 19; ++n) {
        std::vector<double> v(static_cast<size_t>(n)), x(static_cast<size_t>(n) + 1, 42.0);
        for (int32_t k = 0; k < n; ++k) v[static_cast<size_t>(k)] = finite[k % 8];
        EXPECT_TRUE(copy_finite(v.data(), n, x.data())) << n;
        // An empty vector's data may be null, which memcmp may not take.
        if (n > 0) {
            EXPECT_EQ(std::memcmp(v.data(), x.data(), v.size() * sizeof(double)), 0) << n;
        }
        EXPECT_EQ(x[static_cast<size_t>(n)], 42.0) << n;  // nothing written beyond
        for (int32_t at = 0; at < n; ++at)
            for (double b : bad) {
                std::vector<double> w = v;
                w[static_cast<size_t>(at)] = b;
                EXPECT_FALSE(copy_finite(w.data(), n, x.data())) << n << " " << at << " " << b;
                EXPECT_EQ(std::memcmp(w.data(), x.data(), w.size() * sizeof(double)), 0) << n << " " << at;
            }
    }
}

TEST(SolutionChecks, CopyFiniteCopiesEveryBitAndFindsEveryNonFiniteValue) {
    for (const bool vectors : {false, true}) {
        SCOPED_TRACE(vectors ? "vector form" : "plain form");
        use_vector_forms(vectors);
        expect_copy_finite();
        use_vector_forms(true);
    }
}

}  // namespace
