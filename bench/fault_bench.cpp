// Cost of a three-phase source and a three-phase fault against the network
// solution of the same steps: the unfaulted bus of the fault tests over
// whole 50 Hz cycles of 400 steps, the VSRC3P and FAULT3 calls of each step
// and its SOLVE_NETWORK timed apart.
#include <benchmark/benchmark.h>

#include <chrono>

#include "models/tests/fault_circuit.h"

namespace {

using Clock = std::chrono::steady_clock;

void unfaulted_cycle(benchmark::State& state) {
    rectifier::Circuit c = fault::circuit(7, 0.01, [](int32_t) { return 0; });
    c.begin();
    for (int n = 0; n < 400; ++n) c.step();  // one cycle to reach the steady state
    double models = 0.0, solution = 0.0;
    int64_t steps = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        for (int n = 0; n < 400; ++n) {
            RUN_CLOCK.TIME = RUN_CLOCK.NSTEP * rectifier::kStep;
            RUN_CLOCK.PREV_TIME = (RUN_CLOCK.NSTEP - 1) * rectifier::kStep;
            RESETPTRS();
            const auto t0 = Clock::now();
            c.models();
            const auto t1 = Clock::now();
            SOLVE_NETWORK();
            const auto t2 = Clock::now();
            RESETPTRS_OUT();
            models += std::chrono::duration<double>(t1 - t0).count();
            solution += std::chrono::duration<double>(t2 - t1).count();
            ++RUN_CLOCK.NSTEP;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        steps += 400;
        benchmark::DoNotOptimize(NET.VNODE(4, 1));
    }
    state.counters["models_ns_per_step"] = 1e9 * models / static_cast<double>(steps);
    state.counters["solution_ns_per_step"] = 1e9 * solution / static_cast<double>(steps);
    state.counters["models_per_solution"] = models / solution;
    reset_all_engine_state();
}

}  // namespace

BENCHMARK(unfaulted_cycle)->UseManualTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
