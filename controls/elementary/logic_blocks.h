// Pulse and latch logic on threshold crossings that report the crossing
// instant inside the step, integer forms of the zero-crossing detector, a
// clocked flip-flop, timers, a sampled delay, a clamped lag, the harmonic
// distortion figure and an exclusive-or signed by the leading input.
// SONON3, BINON3 and IZCD1 are kept for older modules and print a notice
// at every call.
#pragma once

#include <cstdint>

#include "controls/interp_pair.h"

// A pulse of length T from each rising crossing of X through REF, while
// enable is not 0.
void ZARIK_SONON(double X, double REF, double T, int32_t enable, INTERP_PAIR& OUT);
double SONON3(double X, double T, int32_t enable, double& TOUT);
// A latch set by X1 rising through REF1 and reset by X2 rising through
// REF2; the reset wins in a step with both.
void ZARIK_BINON(double X1, double REF1, double X2, double REF2, int32_t enable, INTERP_PAIR& OUT);
double BINON3(double X1, double X2, int32_t enable, double& TOUT);
// +1 rising, -1 falling, 0 no crossing of zero in this step.
int32_t ZERO_CROSS_DIR(double X);
int32_t IZCD1(double X, double& TOUT);

int32_t LOGIC_EQV(int32_t A, int32_t B);
void SR_FLIPFLOP(int32_t S, int32_t R, int32_t PRE, int32_t CLR, int32_t CLK, int32_t& Q, int32_t& QN);
int32_t ON_DELAY_TIMER(int32_t IN, double T);
double DELAY_SAMPLED(double T, int32_t N, double X);
double LAG_CLAMPED(double X, double T, double lower, double upper);
// INIT 0 starts off, 1 on; other values keep the stored state.
void DUAL_TIMER(int32_t ON, int32_t OFF, double T1, double T2, int32_t INIT, int32_t& OUT);
int32_t PICKUP_DROPOUT(int32_t A, int32_t B, double T1, double T2, int32_t INIT);
void XOR_ZC(double A, double B, double& OUT);
// H and OUT hold N values each; FLAG > 0 gives per cent.
double THD_CALC(int32_t N, int32_t FLAG, const double* H, double* OUT);
