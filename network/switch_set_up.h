// The switches' set-up at the start of a subsystem's step.
#pragma once

#include <cstdint>

#include "network/solution_columns.h"
#include "platform/logical.h"

// The columns the set-up reads and writes, by branch.
struct SwitchSetUp {
    Col<int32_t> list;  // the subsystem's switches, by switch
    Col<int32_t> code, count;
    Col<Logical> pending;
    Col<double> instant;
    Col<double> geq, geqd;
    Col<Logical> brchg;
};

// Every one of the ns switches starts the step with no switching instant
// (1.5), pending where the subsystem interpolates and its kind (the
// code's magnitude) is neither 0 nor 6, then listed from next_due on;
// a chatter count of 10, 0 for kinds 5 and 15; and BRCHG telling whether
// its conductance moved by more than 1e-10 of the step before's. Returns
// whether any did; next_due ends past the last one listed, and every slot
// from next_due to ns past it may be written.
bool set_up_switches(const SwitchSetUp& c, int32_t ns, bool interpolate, int32_t*& next_due);
