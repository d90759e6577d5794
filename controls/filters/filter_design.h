// Analog filters designed from order, frequency, quality factor, ripple,
// characteristic (1 Butterworth, 2 Chebyshev) and type (1 low-pass,
// 2 high-pass, 3 band-pass, 4 band-stop), run through TFDN10; the band
// limits of a band filter and a frequency tracker.
#pragma once

#include <cstdint>

// F0 = sqrt(FL FU), Q = F0 / (FU - FL); FL must lie below FU.
void FILN15(const double& FL, const double& FU, double& F0, double& Q);
// The designed filter at F Hz: 25 STOR slots, then those of TFDN10.
void FILTER_RUN(const int32_t& N, const double& F, const double& Q, const double& ripple, const int32_t& characteristic,
                const int32_t& type, const int32_t& mode, const double& x, double& y);
// Denominator and numerator (11 values each, ascending powers) at the
// angular frequency w.
void CHLPFN(const int32_t& N, const double& ripple, const double& w, const double& Q, const int32_t& characteristic,
            const int32_t& type, double* den, double* num);
// The frequency from the advance of an angle per step (mode 1; angle unit
// 0 or 2 radians, other degrees), starting from f0. 2 STOR slots.
void FREQ_TRACK(const int32_t& mode, const int32_t& unit, const double& theta, const double& f0, double& f);
