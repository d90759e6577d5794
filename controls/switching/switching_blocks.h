// Logic and switching blocks that report, with each change of their
// output, how long before the step's end it happened. Those with an
// interpolation flag report the instant only when it is 1 (time 0.0
// otherwise). Logical inputs are read rounded to the nearest integer.
#pragma once

#include <cstdint>

#include "controls/interp_pair.h"

// AND (mode 0), OR (1) or exclusive or (2) of N <= 9 inputs; inputs holds
// the values in its first 9 entries and their times in the next 9.
void LOGIC_GATE_IP(int32_t mode, int32_t N, const double* inputs, INTERP_PAIR& result);
// Mode 1: idle except in the step where A - B crosses 0 (high rising, low
// falling); other modes: high while A > B, else low.
void COMPARATOR_IP(int32_t flag, int32_t mode, double A, double B, double high, double idle, double low,
                   INTERP_PAIR& result);
// An impulse every period from start, of height/DELT when the area flag is 1.
void IMPULSE_TRAIN_IP(int32_t area_flag, int32_t flag, double start, double height, double period, INTERP_PAIR& result);
// Follows the input the delay after it went on; drops with it.
void ON_DELAY_IP(int32_t flag, double delay, INTERP_PAIR input, INTERP_PAIR& output);
// A pulse of the given width from each rising edge of the input through 0.5.
void MONOSTABLE_IP(int32_t flag, double width, INTERP_PAIR input, INTERP_PAIR& output);
// 1 - L above the band, L below it, held inside it.
void HYSTERESIS_IP(int32_t low_state, int32_t flag, double X, double upper, double lower, INTERP_PAIR& result);
// On after the on delay, off after the off delay; instants always reported.
void ON_OFF_DELAY_IP(int32_t initial_state, double on_delay, double off_delay, INTERP_PAIR input, INTERP_PAIR& output);
// Where the reference crosses a carrier bounded by cmax and cmin inside
// the step, also across a carrier peak.
void PWM_CROSS(double carrier, double reference, double cmax, double cmin, INTERP_PAIR& result);
// A pulse of fixed width at each rising crossing of carrier over reference.
void PWM_PULSE_IP(int32_t enable, double width, double cmax, double cmin, double carrier, double reference,
                  INTERP_PAIR& result);
// On where the on carrier rises over the on reference, off where the off
// carrier falls below the off reference; off wins within one step.
void PWM_COMPARE_IP(int32_t enable, double cmax, double cmin, double on_carrier, double on_reference,
                    double off_reference, double off_carrier, INTERP_PAIR& result);
