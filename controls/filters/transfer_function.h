// The general transfer-function block N(s)/D(s) of order 1 to 10, run in
// the time domain by the trapezoidal rule, and its front for coefficients
// given at a normalised frequency. Coefficient arrays hold 11 values in
// ascending powers of s.
#pragma once

#include <cstdint>

// On a design step (design = 1) num and den are reversed and normalised in
// place and the discrete model is stored; then one step. Input mode 0 the
// present input, 1 the mean of the present and previous input, other 0.
// STORF: N² + 2N + 2 slots.
void TFDN10(const int32_t& N, double* num, double* den, const double* init, const int32_t& mode,
            const int32_t& design, const double& u, double& y);
// Coefficients given for frequency 1, run at w (s replaced by s/w);
// designs on the first step of a run and when a coefficient or w moves.
// 56 STOR slots, then those of TFDN10.
void TFDN_SCALED(const int32_t& N, const double* num, const double* den, const double* init, const int32_t& mode,
                 const double& w, const double& u, double& y);
// result := inverse of the leading n x n block of matrix; both stored by
// columns with leading dimension L. Returns the determinant (0 when the
// block is singular, result then unchanged).
double MAT_INVERT_LD(const double* matrix, int32_t L, int32_t n, double* result);
