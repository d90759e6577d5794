// Second-order filters G*N(s)/(s^2 + 2*zeta*w*s + w^2) with the numerator
// chosen by ITYPE: 1 low-pass, 2 band-pass, 3 high-pass, 4 to 9 their sums
// and differences (5 the notch). All run one trapezoidal two-state body on
// 12 STOR slots.
#pragma once

#include <cstdint>

// Denominator fixed on the first step of a run from data (2 slots of its
// own before the body's); the numerator follows this call's w.
double SECOND_ORDER_FIX(int32_t ITYPE, double G, double zeta, double w, double X);
// Everything recomputed from the arguments on every call.
double SECOND_ORDER_VAR(int32_t ITYPE, double G, double zeta, double w, double X);
// Set-up (f in Hz) writing 6 run-time constants, and its run part.
void SECOND_ORDER_RTC(int32_t ITYPE, double G, double zeta, double f);
void SECOND_ORDER_RTC_RUN(double X, double& Y);

// The body: A row by row, bx = B*X of this step. mode 1 recomputes the
// matrices, 0 only on the first step of a run from data; -1 and 2 also
// restart from x0. state receives the new state.
void SECOND_ORDER_STEP(double* state, const double* x0, const double* A, const double* bx, int32_t mode);
