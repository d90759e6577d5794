// Data routines of the source models: impedances of a three-phase source,
// series and parallel R-X pairs, and the internal EMF of an AC source.
#pragma once

#include <cstdint>

// Format 1: magnitude and angle (degrees) pairs; others: R and X pairs.
// With parallel flag 1 the second pair gives the parallel branch.
void SOURCE3R(int32_t format, int32_t parallel, double z1, double a1, double z2, double a2, double frequency,
              double& R, double& L, double& Rp, double& Lp);
void RX_TO_PARALLEL(double R, double X, double& Rp, double& Xp);
void RX_TO_SERIES(double Rp, double Xp, double& R, double& X);
// Line voltage, frequency (Hz), phase (degrees), the impedance of the
// type, the three-phase P and Q it delivers and their scales; stores the
// peak EMF per phase, the angular frequency, its angle (rad) and last.
void AC_SOURCE(int32_t type, double vll, double frequency, double phase, double R, double L, double third, double P,
               double Q, double vscale, double pscale, double last);
