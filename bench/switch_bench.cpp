// Cost of the power-electronic switches of a six-diode bridge against the
// network solution of the same steps: whole 50 Hz cycles of 400 steps, the
// six PESWITCH calls of each step and its SOLVE_NETWORK timed apart.
#include "bench/model_step_timing.h"

namespace {

void bridge_cycle(benchmark::State& state) {
    rectifier::Circuit c = rectifier::bridge();
    c.begin();
    for (int n = 0; n < 400; ++n) c.step();  // one cycle to reach the steady state
    time_model_steps(
        state, "switches",
        [&] {
            for (const auto& [b, phase] : c.sources) NET.EBR(b, 1) = rectifier::emf(RUN_CLOCK.TIME, phase);
        },
        [&] { c.switch_calls(); });
}

}  // namespace

BENCHMARK(bridge_cycle)->UseManualTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
