// Routines a synchronous-machine model calls on its block in STOR at NEXC
// (position n is STOR(NEXC + n); none moves NEXC): typical data by rating
// class, saturation curves, the inverse axis matrix and the axis
// derivatives; and small characteristics kept beside them.
#pragma once

#include <cstdint>

// Typical data for the class that -position 24 asks for.
void MAC100_DEFAULTS();
// Curve 1 (positions 61..80) normalised by the first form.
void MAC100_SAT_FACTOR();
// The curve whose second x is at K (63 or 83) normalised by the second
// form, then checked for monotony (numbered message 264).
void MAC100_SAT_CURVE(int32_t K);
// The inverse of the axis matrix (MODE 3: 3 x 3, 2: 2 x 2) as its upper
// triangle at positions K+13 .. K+18.
void MAC100_MATRICES(int32_t K, int32_t MODE, int32_t unused);
// DX = M1 t(X, Y), DY = M2 t(X, Y) with the inverse matrices at offsets O1
// and O2, each offset advanced by 13.
void MAC100_DERIV(const double* X, double* DX, const double* Y, double* DY, int32_t& O1, int32_t& O2);

// The value YV and secant slope SV of a curve at XV: the curve's second
// point at offset K, from STOR at NEXC, from RTCF at NRTCF, or from a
// ten-point copy of RTCF (which extrapolates beyond its ninth point).
void SAT_CURVE_EVAL(double XV, double& YV, double& SV, int32_t K);
void SAT_CURVE_EVAL_RTC(double XV, double& YV, double& SV, int32_t K);
void SAT_CURVE_EVAL_TBL(double XV, double& YV, double& SV, int32_t K);
// The two normalisations of a ten-point curve; the second one also warns
// when the result is not monotonic.
void SAT_CURVE_NORM(double A, double* X, double* Y);
void SAT_CURVE_CHECK(double A, double* X, double* Y);

void ORDER_LIMIT_CHAR(double X, double U, double HI, double V1, double LO, double V0, double& OUT1, double& OUT2);
// With an angle-dependent level and a ramp latched in 3 STOR.
void ORDER_LIMIT_CHAR_S(double X, double P, double U, double A1, double A2, double A3, double HI, double V1, double LO,
                        double V0, double& OUT1, double& OUT2);
double ALGEBRAIC_RATIO(double A1, double A2, double A3, double A4, double A5);
// The ratio on three run-time constants (A4, A5, A3); C2 gets the second.
void ALGEBRAIC_RATIO_RTC(double A1, double A2, double& R, double& C2);
// Degrees between a falling zero of S1 and a rising zero of S2 (negative
// when S2 comes first), once per arming by TRIG.
void ZC_PHASE_ANGLE(double S1, double S2, double& ANG, int32_t TRIG, double F, int32_t& DONE);
