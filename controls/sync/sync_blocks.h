// Synchronisation blocks: three-phase phase-locked loops, the Park
// transformation, a piecewise-linear table, pulses from zero crossings and
// a six-channel crossing pattern. Angles in radians in [0, 2*pi).
#pragma once

#include <cstdint>

// Loops on 3 STOR slots (angle, error integral, 1/VBASE). The ASIN form
// runs its PI on the product detector; the ATAN forms differ only in their
// frequency limits (0.5..1.5 and 0.8..1.2 times F0).
void PLL_3PH_ASIN(double VA, double VB, double VC, double KP, double KI, double VBASE, double F0, double& F,
                  double& THETA, double& ERR_DEG);
void PLL_3PH_ATAN_A(double VA, double VB, double VC, double KP, double KI, double VBASE, double F0, double OFFSET,
                    double T_LOCK, double& THETA, double& ERR_DEG, double& F);
void PLL_3PH_ATAN_B(double VA, double VB, double VC, double KP, double KI, double VBASE, double F0, double OFFSET,
                    double T_LOCK, double& THETA, double& ERR_DEG, double& F);
// Set-up writing 1/VBASE and 2*pi*F0, and the loop reading them back; the
// loop returns the angle before this step's advance. 2 STORF.
void PLL_3PH_TRACK_SETUP(double VBASE, double F0);
void PLL_3PH_TRACK(double VA, double VB, double VC, double KP, double KI, double OFFSET, double T_LOCK, double UPPER,
                   double LOWER, double& THETA, double& ERR_DEG, double& F);

// DIR >= 0: A, B, C to D, Q, Z; DIR < 0: D, Q, Z back to A, B, C.
void ABC_DQ0(double& A, double& B, double& C, double& D, double& Q, double& Z, double TH, int32_t DIR);

// Linear between the points of an ascending table, extended along its end
// segments; a table of no point stops the run.
double TABLE_INTERP(int32_t N, const double* XT, const double* YT, double X);

// 1 for DUR from the last step with TRIG > 0; 2 STOR.
int32_t PULSE_TIMER(int32_t TRIG, double DUR);
// The same started by IN rising from 0 to 1; 3 STOR.
int32_t ZC_PULSE(int32_t IN, double DUR);
// Six channels set by the crossing of X(i) through REF; 12 STOR, 6 STORF,
// 6 STORI.
void ZC_SIX_CHANNEL(const double* X, const double* G, double REF, double S, double& OUT_SUM, double& OUT_MEAN,
                    double& OUT_MIN);
