// RMS, peak and phase estimates of periodic signals over time: a moving
// window built from a sampler, a sample-and-interpolate step and a running
// mean over a ring; a correlation RMS synchronised to the input's zero
// crossings; a peak detector and three phase detectors.
#pragma once

#include <cstdint>

// The window pieces, in the order the windowed blocks call them.
// N samples per period of F (or one per step when that is finer than a
// step); IDX the ring index of this step's sample, 0 for none, sampled
// FRAC steps before the step's end. 2 STORF, 2 STORI.
void SAMPLER_N(int32_t N, double F, double& FRAC, int32_t& NS, int32_t& IDX);
// X interpolated back to the sample instant, held between samples. 2 STORF.
void SAMPLE_STORE(int32_t IDX, double FRAC, double X, double& Y);
// Mean of the last NS samples, every slot INIT at the start. NS + 1 STORF.
void WINDOW_MEAN(int32_t IDX, int32_t NS, double Y, double INIT, double& MEAN);

// Windowed RMS of the line-to-line voltages of three nodes, of one signal,
// and of three signals; INIT is the RMS the window starts from.
void RMS_NODE_V(int32_t N, int32_t SS, int32_t NA, int32_t NB, int32_t NC, double F, double SCALE, double INIT,
                double& OUT);
void RMS_WINDOW(int32_t N, double F, double X, double SCALE, double INIT, double& OUT);
void RMS_3PH_WINDOW(int32_t N, double XA, double XB, double XC, double F, double SCALE, double INIT, double& OUT);

// Correlation RMS against a sine restarted at each zero crossing; 10 STOR.
double RMS_SYNC(double X, double T_OUT, double F, double T_IN);
// The same of a branch current (11 STOR), of the current between two nodes
// and of the voltage between two nodes (10 STOR).
double CRMS11(int32_t SS, int32_t BR, double T_OUT, double F, double T_IN);
double CRMS_NODES(int32_t SS, int32_t N1, int32_t N2, double T_OUT, double F, double T_IN);
double RMS_SYNC_V(int32_t SS, int32_t N1, int32_t N2, double T_OUT, double F, double T_IN);

// The last peak of abs(X); 4 STOR.
double PEAK_DETECT(double X, double Y0);
// Time between the minima of abs(X) and of abs(M*sin(A deg + W*t)), times
// W; 10 STOR.
double PHASE_DIFF_ZC(double X, double A, double W, double M);
// Angle of the input against an internal angle turning at F, through lags
// of T; radians, degrees when DEG is 1; MODE 1 starts the internal angle a
// quarter turn back.
void PHASE_ANGLE_3PH(double DEG, int32_t MODE, double VA, double VB, double VC, double T, double F, double& OUT);
void PHASE_ANGLE_1PH(double DEG, int32_t MODE, double X, double T, double F, double& OUT);
