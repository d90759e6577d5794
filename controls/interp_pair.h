// A signal value with the instant inside the step at which it changed, so
// that a switch can fire there rather than at the step's end.
#pragma once

struct INTERP_PAIR {
    double value = 0.0;  // the value at the end of the step
    double time = 0.0;   // how long before the step's end it changed; 0 if it did not
};

static_assert(sizeof(INTERP_PAIR) == 16, "value then time, 8 bytes each");
