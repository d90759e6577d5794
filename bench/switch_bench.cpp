// Cost of the power-electronic switches of a six-diode bridge against the
// network solution of the same steps: whole 50 Hz cycles of 400 steps, the
// six PESWITCH calls of each step and its SOLVE_NETWORK timed apart.
#include <benchmark/benchmark.h>

#include <chrono>

#include "models/tests/rectifier_circuit.h"

namespace {

using Clock = std::chrono::steady_clock;

void bridge_cycle(benchmark::State& state) {
    rectifier::Circuit c = rectifier::bridge();
    c.begin();
    for (int n = 0; n < 400; ++n) c.step();  // one cycle to reach the steady state
    double switches = 0.0, solution = 0.0;
    int64_t steps = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        for (int n = 0; n < 400; ++n) {
            RUN_CLOCK.TIME = RUN_CLOCK.NSTEP * rectifier::kStep;
            RUN_CLOCK.PREV_TIME = (RUN_CLOCK.NSTEP - 1) * rectifier::kStep;
            RESETPTRS();
            for (const auto& [b, phase] : c.sources) NET.EBR(b, 1) = rectifier::emf(RUN_CLOCK.TIME, phase);
            const auto t0 = Clock::now();
            c.switch_calls();
            const auto t1 = Clock::now();
            SOLVE_NETWORK();
            const auto t2 = Clock::now();
            switches += std::chrono::duration<double>(t1 - t0).count();
            solution += std::chrono::duration<double>(t2 - t1).count();
            ++RUN_CLOCK.NSTEP;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        steps += 400;
        benchmark::DoNotOptimize(NET.VNODE(4, 1));
    }
    state.counters["switches_ns_per_step"] = 1e9 * switches / static_cast<double>(steps);
    state.counters["solution_ns_per_step"] = 1e9 * solution / static_cast<double>(steps);
    state.counters["switches_per_solution"] = switches / solution;
    reset_all_engine_state();
}

}  // namespace

BENCHMARK(bridge_cycle)->UseManualTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
