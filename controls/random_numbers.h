// Random numbers for the model library: a seed from the clock, the minimal
// standard uniform generator, a Gaussian cut off at a number of standard
// deviations, and draws scaled into [lo, hi].
#pragma once

#include <cstdint>

// RNDNUM's own seed, and the Gaussian's spare value that all callers share.
struct RandomState {
    int32_t own_seed = 0;
    bool seeded = false;
    double spare = 0.0;
    bool has_spare = false;
};
extern RandomState RANDOM_STATE;

// An odd seed from the date and time of the clock.
void RNDSEED(int32_t& seed);
// Advances the seed; seed / (2^31 - 1), in (0, 1) from a seed in
// 1 .. 2^31 - 2. A seed of 0 or +-(2^31 - 1) is taken as 1.
double RNDUNIF(int32_t& seed);
// A standard normal variate within limit (clamped to [1, 10]) standard
// deviations, scaled to [-1, 1].
double RNDGAUSS(int32_t& seed, double limit);
// Mode 0 uniform, 1 Gaussian over [lo, hi]; any other mode leaves out as it
// is. A seed of 0 is first taken from the clock.
void RNDVAL(int32_t& seed, int32_t mode, double lo, double hi, double limit, double& out);
// RNDVAL on the library's own seed, taken from the clock at the first call.
void RNDNUM(int32_t mode, double lo, double hi, double limit, double& out);
