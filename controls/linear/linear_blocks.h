// First-order linear blocks that advance by the exact response to an input
// held since their last enabled call, over however many steps have passed,
// and hold their output while disabled. So a block enabled every n-th step
// is the continuous block sampled at that rate.
#pragma once

#include <cstdint>

// With output limits and a state kept as output / G so that the limits do
// not wind up; flags are on when non-zero. Y0 is taken while reset is on.
double LAG_LIMITED(int32_t reset, int32_t enable, int32_t limit, double G, double T, double X, double Y0, double lower,
                   double upper);
double WASHOUT_LIMITED(int32_t reset, int32_t enable, int32_t limit, double G, double T, double X, double Y0,
                       double lower, double upper);
double LEAD_LAG_LIMITED(int32_t reset, int32_t enable, int32_t limit, double T1, double T2, double G, double X,
                        double Y0, double lower, double upper);

// On STOR, keeping the output itself; reset and enable are on only at 1.
double LAG_SAMPLED(double G, double T, double X, double Y0, int32_t reset, int32_t enable);
double DIFF_LAG_SAMPLED(double G, double T, double X, double Y0, int32_t reset, int32_t enable);
double LEAD_LAG_SAMPLED(double T1, double T2, double G, double X, double Y0, int32_t reset, int32_t enable);
double INTEGRATOR_SAMPLED(double Y0, double lower, double upper, double T, double X, int32_t reset, int32_t enable);
double PI_SAMPLED(double Kp, double T, double lower, double upper, double Y0, double X, int32_t reset, int32_t enable);
