// The clamp that the control blocks share.
#pragma once

// upper when X > upper, else lower when X < lower, else X: with the bounds
// crossed upper wins above it, and a NaN passes through unchanged.
inline double limit_value(double lower, double upper, double X) {
    if (X > upper) return upper;
    if (X < lower) return lower;
    return X;
}

inline double LIMIT_VALUE(const double& lower, const double& upper, const double& X) {
    return limit_value(lower, upper, X);
}
