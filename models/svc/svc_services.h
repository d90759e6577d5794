// The services of both compensator forms: firing loop, valve decision,
// capacitor-stage switching, state equations and transformer saturation.
// They work on SVC_WORK and on STOR relative to NEXC as the caller left it.
#pragma once

#include <cstdint>

#include "models/svc/svc_work.h"

void SVC_PLL(double va, double vb, double vc, double& sin_t, double& cos_t, double Kp, double Ki, double Vm,
             double f0, double& theta);
void SVC_FIRING(double alpha, double Kp, double Ki, int32_t enable, double va, double vb, double vc);
// x is the valve's current when it conducts, its forward voltage when it
// blocks; result -1 turned off, +1 turned on, 0 no change (untouched when
// R is neither Ron nor Roff).
void SVC_VALVE(double x, double p, double& R, double Ron, double Roff, int32_t& result);
// Returns 1 when group g switched a stage towards target in direction d.
int32_t SVC_CAPSTAGE(int32_t g, int32_t target, double Cst, double C0, int32_t d);
void SVC_DERIV(const SvcState& x, SvcState& dx);
double SVC_SATUR(double v, double Xair, double knee, double V1, double Ir, double f, double tau, double& psi);
