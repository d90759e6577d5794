// Flags as the engine keeps them: 32-bit integers, -1 true, 0 false,
// tested on the lowest bit; and whole-number rounding.
#pragma once

#include <cmath>
#include <cstdint>

using Logical = int32_t;
constexpr Logical LTRUE = -1;
constexpr Logical LFALSE = 0;

inline bool is_true(Logical v) { return (v & 1) != 0; }
inline Logical as_logical(bool b) { return b ? LTRUE : LFALSE; }

// Nearest whole number, halves away from zero, saturated to 32 bits
// (NaN gives 0).
inline int32_t nint(double x) {
    if (std::isnan(x)) return 0;
    const double r = std::round(x);
    if (r >= 2147483647.0) return INT32_MAX;
    if (r <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(r);
}

// Cut towards zero, saturated to 32 bits (NaN gives 0).
inline int32_t int_trunc(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return INT32_MAX;
    if (x <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(x);
}
