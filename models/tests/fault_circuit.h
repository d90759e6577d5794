// A three-phase source (100 peak behind 0.01 ohm) feeding a bus through
// 0.5 ohm + 10 mH per phase, 20 ohm from each bus phase to ground, and a
// three-phase fault at the bus: shared by the fault tests and the fault
// benchmark.
#pragma once

#include <functional>

#include "models/breakers/fault3.h"
#include "models/tests/rectifier_circuit.h"

namespace fault {

// Branches: sources 1 to 3, feeders 4 to 6, loads 7 to 9, fault branches
// A, B, C to ground 10 to 12, AB, BC, CA 13 to 15.
constexpr int32_t kA = 10, kAB = 13;

// control(n) is the fault's control input in step n (TIME = n x 50 us).
inline rectifier::Circuit circuit(int32_t type, double ron, std::function<int32_t(int32_t)> control) {
    using rectifier::Circuit;
    Circuit c;
    Circuit::tables(6, 15);
    for (int32_t k = 1; k <= 3; ++k) c.source(k, (k - 1) * 2.0 * M_PI / 3.0);
    for (int32_t k = 1; k <= 3; ++k) BRANCH_RLC(Circuit::branch(k, k + 3, 0.5), 1, 1, 1, 0, 0.5, 0.01, 0.0);
    for (int32_t k = 1; k <= 3; ++k) Circuit::branch(k + 3, 0, 20.0);
    for (int32_t k = 1; k <= 3; ++k) Circuit::branch(k + 3, 0, 1e6, true);
    for (int32_t k = 1; k <= 3; ++k) Circuit::branch(k + 3, k % 3 + 4, 1e6, true);
    c.setup = [] { FAULT3_INIT(1e6, 0.0); };
    c.models = [type, ron, control] {
        VSRC3P(1, 1, 2, 3, 0.0, LTRUE, rectifier::kPeak, 2.0 * M_PI * rectifier::kHz, 0.0);
        FAULT3(1, kAB, kAB + 1, kAB + 2, kA, kA + 1, kA + 2, 0, control(RUN_CLOCK.NSTEP), type, ron);
    };
    return c;
}

}  // namespace fault
