// One run from its first to its last step, with the print-point output
// after each step and the front end's pacing in a connected run.
#pragma once

#include <cstdint>

#include "platform/logical.h"

// Print-point bookkeeping of the run loop.
struct PrintCounter {
    int32_t STEPS_PER_PRINT = 1;
    double saved_print_step = 0.0;
    int32_t counter = 0;
};

void RUNLOOP(Logical& abort_flag, bool connect_flag);
void STEPCHECK(double print_step, PrintCounter& pc, Logical& data_waiting, Logical& print_now);
