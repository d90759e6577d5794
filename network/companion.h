// The companion coefficients of a series R-L-C branch, shared by the branch
// reader and the run-time value changes so that both give the same matrix.
#pragma once
#include <cstdint>

// Sets GEQ, GEQD, GON, GOFF to g and the history coefficients RLG, RCG,
// RCL, RSC, RSL from g = 1/(r + xl + xc).
void set_companion(int32_t br, int32_t ss, double g, double r, double xl, double xc);
