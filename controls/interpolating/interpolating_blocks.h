// The integrator and PI controller that integrate exactly over an input
// change inside the step, and the sources and flip-flops that report their
// edges inside the step.
#pragma once

#include <cstdint>

#include "controls/interp_pair.h"

// Integral of X/T, started at `initial`, held inside [lower, upper]
// (lower wins when they cross). A reset (reset_enable 1, reset rounding
// to non-zero) sets the output to reset_value, or with reset_mode 1
// integrates the rest of the step from it. flag 1 takes X's change at X.time.
double INTEGRATOR_IP(int32_t flag, int32_t reset_mode, int32_t reset_enable, double initial, double T,
                     double reset_value, double lower, double upper, INTERP_PAIR reset, INTERP_PAIR X);
// Kp X plus the integral of X/T, both inside [lower, upper].
double PI_IP(int32_t flag, double Kp, double T, double lower, double upper, double initial, INTERP_PAIR X);

// Type 1 triangle or sawtooth, type 2 square wave of the given duty (%).
void SIGNAL_GENERATOR(int32_t type, int32_t flag, double phase, double frequency, double duty, double maximum,
                      double minimum, INTERP_PAIR& result);
// The generator as a set-up routine and its run part.
void E_XSGEN(int32_t type, double phase, double duty, double maximum, double minimum);
void E_XSGEN_RUN(int32_t type, double frequency, INTERP_PAIR& result);

// Impulses of the given height (area when area_flag is 1) from first_time
// at the given frequency: set-up and run part.
void IMPULSE(int32_t area_flag, double first_time, double height, double frequency);
void IMPULSE_RUN(INTERP_PAIR& result);

// Clocked J-K flip-flop. Edge modes: 0 falling, 1 rising, 2 clock high.
// Types: 0 J-K, 1 J-K without toggle, 2 D (J) with K clearing, 3 toggle
// on J. flag 1 reports the clock's instant and takes J and K by their
// instants against it.
void FLIPFLOP_IP_SETUP(int32_t edge_mode, int32_t type, int32_t flag, int32_t initial_output);
void FLIPFLOP_IP(INTERP_PAIR J, INTERP_PAIR K, INTERP_PAIR clock, INTERP_PAIR& output);
void FLIPFLOP_DIRECT(int32_t initial_output, int32_t edge_mode, int32_t type, int32_t flag, INTERP_PAIR J,
                     INTERP_PAIR K, INTERP_PAIR clock, INTERP_PAIR& output);
// N D stages clocked together; initial_value's bit i-1 starts stage i.
void SHIFT_REGISTER_IP(int32_t N, int32_t edge_mode, int32_t flag, int32_t initial_value, INTERP_PAIR clock,
                       INTERP_PAIR D, INTERP_PAIR& output);
