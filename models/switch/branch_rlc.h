// Run-time R, L and C of one series branch, set in the begin passes or
// the first dynamic pass of a run from data.
#pragma once

#include <cstdint>

// Gives branch br of subsystem ss the present values (a flag 0 leaves the
// element out; R ohm, L henry, C microfarad) with the map reader's
// companion coefficients and ideal-branch conversion, and corrects the
// subsystem's conductance array by the change of a branch that is not
// switched. A present C of 0 is an open capacitor.
void BRANCH_RLC(int32_t br, int32_t ss, int32_t has_r, int32_t has_l, int32_t has_c, double R, double L, double C);
