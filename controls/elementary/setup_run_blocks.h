// Set-up/run pairs on the run-time constants: the set-up routine checks
// its data in a begin pass and writes its constants at the RTC pointers;
// the run routine reads the same constants back in every step. Beside them
// the rate limiter RATE_LIMIT_F and the relation test ON_OFF_COMPARE.
// Surge times are in microseconds.
#pragma once

#include <cstdint>

void SAWTOOTH(double maximum, double minimum);
void TRIANGLE_WAVE(double frequency, double& output);

void COUNTER(int32_t lower, int32_t upper, int32_t wrap);
void COUNTER_RUN(int32_t step, int32_t reset, int32_t reset_value, int32_t& output);

void RAMP(double x1, double x2, double y1, double y2);
void RAMP_RUN(double x, double& output);

void SURGE(double X1, double X2, double X3, double X4, double height);
void SURGE_RUN(double x, double& output);

// interpolate: non-zero for an interpolating delay.
void DELAY_SETUP(int32_t interpolate, int32_t Nmax, double T);
void DELAY_RUN(double X, double& output);
// initial_mode 0 fills the delay with the first input, any other mode
// with initial_value.
void DELAY_SETUP_B(int32_t interpolate, int32_t Nmax, int32_t initial_mode, double T, double initial_value);
void DELAY_RUN_B(double X, double& output);

void TXFER_FUNC(double x1, double y1, double x2, double y2, double slope_below, double slope_above);
void TXFER_FUNC_RUN(double x, double& output);

// code 1 to 7 a standard shape, -1 alpha and beta given as T1 and T2, -2
// front time T1 and time to half value T2; front_definition chooses the
// front's measure for code -2.
void SURGE_IEEE1(int32_t code, int32_t front_definition, double T1, double T2, double magnitude, double start);
void SURGE_IEEE1_RUN(double& output);

void SURGE_FRONT_TAIL(double steepness, double half_value_time, double front_time, double peak, double start);
void SURGE_FRONT_TAIL_RUN(double& output);

void RATE_LIMIT_F(double rise, double fall, double X, double& output);
// code 1 A < B, 2 A <= B, 3 A > B, 4 A >= B; result 1 when it holds.
void ON_OFF_COMPARE(int32_t code, double A, double B, int32_t& result);
