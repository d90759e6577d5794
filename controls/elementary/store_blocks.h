// The older elementary blocks: delays, lags, washout, lead-lag, a
// second-order state-variable filter, rate limiting, a triggered pulse, the
// harmonic generator, a three-phase phase shifter, sample-and-hold and a
// trapezoidal integrator and PI. Each keeps its memory in STOR at NEXC and
// advances NEXC by its fixed count on every call.
#pragma once

#include <cstdint>

// Delay by n = min(NINT(T/DELT), Nmax) samplings of T/n; 2 + n slots.
double DELAY_STOR(double T, int32_t Nmax, double X);
// Delay by n = min(T/DELT cut, Nmax) samplings, interpolated between two
// samples; 3 + n slots.
double DELAY_STOR_INTERP(double T, int32_t Nmax, double X);
double DERIV_STOR(double G, double X);
double WASHOUT_STOR(double T, double X);
// Second-order filter; type 1 low-pass, 2 band-pass, 3 high-pass, 4 to 9
// sums and differences of those (other types as 1).
double STATE_VAR_FILTER(int32_t type, double G, double damping, double w, double X);
double SMOOTH_LAG(double G, double T, double X);
double LEAD_LAG_STOR(double T1, double T2, double G, double X);
double RATE_LIMIT(double rise, double fall, double X);
double TRIGGER_PULSE_STOR(double delay, double width, double A, double B, double low, double high);
// Type 1 sine, 2 three-level square, M >= 3 the sum of harmonics N to M.
double SGEN11(int32_t type, double amplitude, double frequency, int32_t N, int32_t rise_cycles,
              int32_t hold_cycles, double start);
void PHASE_SHIFT_3PH(double a, double b, double c, double& a_out, double& b_out, double& c_out, double f);
double SAMPLE_HOLD(double T, double X);
double INTEGRATOR_TRAP(double initial, double lower, double upper, double T, double X);
double PI_TRAP(double Kp, double T, double lower, double upper, double initial, double X);
