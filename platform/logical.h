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
    // The halves that round to the 32-bit ends, exact in a double.
    if (x >= 2147483646.5) return INT32_MAX;
    if (x <= -2147483647.5) return INT32_MIN;
    // The whole part toward zero and the fraction left, both exact.
    const int64_t whole = static_cast<int64_t>(x);
    const double fraction = x - static_cast<double>(whole);
    if (fraction >= 0.5) return static_cast<int32_t>(whole + 1);
    if (fraction <= -0.5) return static_cast<int32_t>(whole - 1);
    return static_cast<int32_t>(whole);
}

// Cut towards zero, saturated to 32 bits (NaN gives 0).
inline int32_t int_trunc(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return INT32_MAX;
    if (x <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(x);
}
