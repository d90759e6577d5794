// Fixed three-phase loads set into their branches from a rating, and
// filter calculators that turn a filter's ratings (quality, tuning, reactive
// power, voltage) into element values. Voltages in kV, powers in MW or
// Mvar, frequencies in Hz, capacitances in microfarads.
#pragma once

#include <cstdint>

// A rating that is not realistic disables the load with a warning: its
// three branches are left open.
void LOAD_R(int32_t ss, int32_t b1, int32_t b2, int32_t b3, int32_t delta, double P, double V);
void LOAD_L(int32_t ss, int32_t b1, int32_t b2, int32_t b3, int32_t delta, double Q, double V, double f);
void LOAD_C(int32_t ss, int32_t b1, int32_t b2, int32_t b3, int32_t delta, double Q, double V, double f);

// Unrealistic ratings stop the run.
void TUNED_FILTER(double quality, double f1, double ft, double qc, double V, double& R, double& L, double& C);
void BPASS_FILTER(double quality, double f1, double ft, double qc, double V, double& R, double& L, double& C);
void CTYPE_FILTER(double quality, double f1, double h, double qc, double V, double& R, double& L, double& C2,
                  double& C1);
