// The on-line Fourier scanner: the signal resampled at M = 2N + 2 points
// per fundamental period, a ring of the last M samples transformed on
// every new sample into the DC component and N harmonics, with an optional
// sixth-order Butterworth low-pass ahead of the sampler whose gain and
// phase are taken back out of the results.
#pragma once

#include <cstdint>

#include "controls/block_slots.h"

// Magnitude mode 0 RMS, other peak; phase mode 1 degrees of a cosine,
// 2 radians of a sine, 3 degrees of a sine, other radians of a cosine.
// N must be 7, 15, 31, 63, 127 or 255. Slots: 49 STOR (the low-pass,
// filter flag 1), 2M + 2 STOR, 1 STORF.
void ON_LINE_FFT(const int32_t& magnitude_mode, const int32_t& phase_mode, const int32_t& N, const int32_t& filter,
                 const int32_t& unused, const double& f, const double& X, int32_t& sample_index, double* magnitudes,
                 double* phases, double& dc);

// Sequence components of three phases' harmonics (radians, cosine
// reference): positive into MA/PA, negative into MB/PB, zero into MC/PC,
// phases formatted by the phase mode.
void FFT_SEQUENCE(const int32_t& N, const int32_t& phase_mode, double* MA, double* MB, double* MC, double* PA,
                  double* PB, double* PC);

// Raw peak magnitudes, phases (radians, cosine reference at ring position
// 0) and DC of a ring of M real samples, M a power of two from 16 to 512.
void FFT_HARMONICS(const double* ring, int32_t M, double* magnitudes, double* phases, double& dc);

// The normalised sixth-order Butterworth polynomial, ascending powers.
inline constexpr double kButterworth6[7] = {1.0, 3.8637033051562732, 7.464101615137755, 9.141620172685641,
                                            7.464101615137755, 3.8637033051562732, 1.0};

// Sixth-order low-pass with cut-off fc Hz on 49 STOR slots: designed on
// the first step of a run from data or when redesign is 1. Unity DC gain.
double FFT_ANTIALIAS_FILTER(const double& X, const double& fc, const double* a, const int32_t& redesign);
double antialias_filter(const BlockSlots& s, double X, double fc, const double* a, bool redesign);

// Divides the low-pass's gain out of the N harmonics and adds its phase
// lag back (phases in radians).
void FFT_FILTER_CORRECTION(const int32_t& N, double* magnitudes, double* phases);
void filter_correction(int32_t N, double* magnitudes, double* phases);

// Harmonic counts the scanner takes; its data error otherwise.
bool valid_harmonic_count(int32_t N);
[[noreturn]] void bad_harmonic_count();
