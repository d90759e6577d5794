// Cost of one compensator step (10 sub-steps, 10 finer ones at a valve
// turn-off, reactors fired at 120 degrees) against one step of the
// 1,000-node R-C ladder measured in the same run: the "ratio" counter.
// The compensator is timed over whole cycles on a stiff 230 kV bus.
#include <benchmark/benchmark.h>

#include <chrono>

#include "bench/ladder.h"
#include "models/tests/svc_circuit.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int32_t kLadderNodes = 1000;
constexpr int32_t kCycleSteps = 1000;  // three 60 Hz cycles

double seconds_per_ladder_step(int steps) {
    bench::rc_ladder(kLadderNodes);
    bench::first_step();
    const auto t0 = Clock::now();
    for (int k = 0; k < steps; ++k) SOLVE_NETWORK();
    const double s = std::chrono::duration<double>(Clock::now() - t0).count() / steps;
    reset_all_engine_state();
    return s;
}

void svc_step_against_ladder_step(benchmark::State& state) {
    const double ladder_step = seconds_per_ladder_step(500);
    svc_test::Ratings r;
    svc_test::StiffBus s;
    s.alpha = 120.0 * M_PI / 180.0;
    s.begin(r);
    while (s.step < 2 * kCycleSteps) s.run_step();  // past the start's transient
    double seconds = 0.0;
    int64_t calls = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        for (int n = 0; n < kCycleSteps; ++n) s.run_step();
        const double t = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(t);
        seconds += t;
        calls += kCycleSteps;
    }
    state.counters["svc_step_us"] = 1e6 * seconds / static_cast<double>(calls);
    state.counters["ladder_step_us"] = ladder_step * 1e6;
    state.counters["ratio"] = seconds / static_cast<double>(calls) / ladder_step;
    benchmark::DoNotOptimize(STORAGE.STOR(16));
    reset_all_engine_state();
}

}  // namespace

BENCHMARK(svc_step_against_ladder_step)->UseManualTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
