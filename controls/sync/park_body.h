// ABC_DQ0's body, inline for the converter's control, which transforms
// three sets at one angle on every step.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace park_detail {

// A controller transforms several sets at one angle in a step: the sines
// and cosines of the angle last seen (to the bit) are kept.
inline uint64_t kept_angle = std::bit_cast<uint64_t>(std::numeric_limits<double>::quiet_NaN());
inline double kept[4] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN(),
                         std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};

}  // namespace park_detail

[[gnu::always_inline]] inline void abc_dq0(double& A, double& B, double& C, double& D, double& Q, double& Z,
                                           double TH, int32_t DIR) {
    using namespace park_detail;
    if (std::bit_cast<uint64_t>(TH) != kept_angle) {
        kept_angle = std::bit_cast<uint64_t>(TH);
        kept[0] = std::cos(TH);
        kept[1] = std::cos(TH - 2.094395102393195);
        kept[2] = std::sin(TH);
        kept[3] = std::sin(TH - 2.094395102393195);
    }
    const double ca = kept[0], cb = kept[1], cc = 0.0 - ca - cb;
    const double sa = kept[2], sb = kept[3], sc = 0.0 - sa - sb;
    // Each direction reads all three inputs before it writes.
    if (DIR >= 0) {
        const double a = A, b = B, c = C;
        D = 0.666666666666667 * (a * ca + b * cb + c * cc);
        Q = 0.666666666666667 * (a * sa + b * sb + c * sc);
        Z = 0.333333333333333 * (a + b + c);
        return;
    }
    const double d = D, q = Q, z = Z;
    A = z + q * sa + d * ca;
    B = z + q * sb + d * cb;
    C = z + d * cc + q * sc;
}
