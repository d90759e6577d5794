// Cost of a three-phase source and a three-phase fault against the network
// solution of the same steps: the unfaulted bus of the fault tests over
// whole 50 Hz cycles, the VSRC3P and FAULT3 calls of each step and its
// SOLVE_NETWORK timed apart.
#include "bench/model_step_timing.h"
#include "models/tests/fault_circuit.h"

namespace {

void unfaulted_cycle(benchmark::State& state) {
    rectifier::Circuit c = fault::circuit(7, 0.01, [](int32_t) { return 0; });
    c.begin();
    for (int n = 0; n < 400; ++n) c.step();  // one cycle to reach the steady state
    time_model_steps(state, "models", {}, [&] { c.models(); });
}

}  // namespace

BENCHMARK(unfaulted_cycle)->UseManualTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
