// Whole 50 Hz cycles of 400 steps of a model circuit: the models' calls of
// each step and its SOLVE_NETWORK timed apart, reported per step and as
// their ratio under the given name.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <string>

#include "models/tests/rectifier_circuit.h"

inline void time_model_steps(benchmark::State& state, const std::string& name,
                             const std::function<void()>& untimed, const std::function<void()>& timed) {
    using Clock = std::chrono::steady_clock;
    double models = 0.0, solution = 0.0;
    int64_t steps = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        for (int n = 0; n < 400; ++n) {
            RUN_CLOCK.TIME = RUN_CLOCK.NSTEP * rectifier::kStep;
            RUN_CLOCK.PREV_TIME = (RUN_CLOCK.NSTEP - 1) * rectifier::kStep;
            RESETPTRS();
            if (untimed) untimed();
            const auto t0 = Clock::now();
            timed();
            const auto t1 = Clock::now();
            SOLVE_NETWORK();
            const auto t2 = Clock::now();
            models += std::chrono::duration<double>(t1 - t0).count();
            solution += std::chrono::duration<double>(t2 - t1).count();
            ++RUN_CLOCK.NSTEP;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        steps += 400;
        benchmark::DoNotOptimize(NET.VNODE(1, 1));
    }
    state.counters[name + "_ns_per_step"] = 1e9 * models / static_cast<double>(steps);
    state.counters["solution_ns_per_step"] = 1e9 * solution / static_cast<double>(steps);
    state.counters[name + "_per_solution"] = models / solution;
    reset_all_engine_state();
}
