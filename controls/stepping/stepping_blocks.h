// Sampling, stepping and phase-difference blocks: six angles 60 degrees
// apart, a sample-and-hold that samples at the exact instant inside the
// step, single raise/lower steps with a lock-out, and the phase between
// a falling crossing of one signal and a rising crossing of another.
#pragma once

#include <cstdint>

// MODE 0: A(1) in radians, the rest 60 degrees apart in radians; other
// MODE: all in degrees. Each later angle raised once by a turn when below 0.
void SIX_PHASE_ANGLES(const int32_t& MODE, double* A);
// MODE 0: samples on its own clock at F Hz; other MODE: on TRIG >= 1,
// T seconds before the step's end. 5 STOR.
double SAMPLE_HOLD_INTERP(const double& X, const double& F, const int32_t& TRIG, const double& T, const int32_t& MODE);
// +1 on a raise request A > 0 with D < C, -1 on a lower request B > 0
// with D > 0 (lower wins), else 0; nothing for DUR seconds after a step.
// 1 STORI, then 3 STOR.
int32_t UPDOWN_STEP(const int32_t& A, const int32_t& B, const int32_t& C, const int32_t& D, const double& DUR);
// The same with C written by the set-up in the begin pass (1 RTCI).
void UPDOWN_STEP_SETUP(const int32_t& C);
void UPDOWN_STEP_RTC(const int32_t& A, const int32_t& B, const int32_t& D, int32_t& OUT, const double& DUR);
// Armed by ARM >= 1, measures once the time from a falling crossing of X1
// to a rising crossing of X2 (positive) or the reverse (negative) in
// degrees at F Hz; NEW 1 on the step a measurement completes.
// 2 STORF, 4 STORI, 2 STOR.
void PHASE_DIFF_CROSSINGS(const double& X1, const double& X2, double& OUT, const int32_t& ARM, const double& F,
                          int32_t& NEW);
