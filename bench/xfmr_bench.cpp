// Time of the transformer part of a step (history step with the
// saturation update, the pass's winding currents, the step's close) for
// the case's three-phase magnetic-circuit transformer, linear and
// saturated, as a ratio to one step of the 100-node R-L ladder measured in
// the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "bench/ladder.h"
#include "engine/run_state.h"
#include "engine/time_step.h"
#include "models/tests/case_core.h"
#include "models/transformers/transformers.h"
#include "models/xfmr_tables.h"
#include "network/network_tables.h"
#include "network/solution_hooks.h"
#include "network/solve_network.h"

namespace {

constexpr double kStep = 50e-6;

// Seconds of one step of the 100-node R-L ladder.
double ladder_step() {
    constexpr int32_t n = 100;
    bench::rl_ladder(n);
    bench::first_step();
    constexpr int reps = 20000;
    const auto t0 = std::chrono::steady_clock::now();
    for (int r = 0; r < reps; ++r) {
        SOLVE_NETWORK();
        benchmark::DoNotOptimize(NET.VNODE(n, 1));
    }
    const std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
    reset_all_engine_state();
    return d.count() / reps;
}

// The case's transformer on six nodes, entered as its map declares it
// and set up by its model.
void case_transformer(bool saturated) {
    bench::tables(6, 1, 6, 1);
    RUN_CLOCK.DELT = kStep;
    enter_case_core(saturated);
    XfmrTables& X = XFMR_TABLES;
    X.XF_RAMP(1) = 1.0;
    X.XF_RAMPON(1) = 1;
}

double g_ladder = 0.0;

void transformer_part(benchmark::State& state) {
    const bool saturated = state.range(0) != 0;
    if (g_ladder == 0.0) g_ladder = ladder_step();
    case_transformer(saturated);
    // Three-phase winding voltages, deep enough to saturate the limbs.
    const double pu = saturated ? 1.3 : 1.0, w = 2.0 * M_PI * 60.0;
    const double vp[2] = {pu * 33.0 * 0.577350269189626 * std::sqrt(2.0), pu * 0.69 * std::sqrt(2.0)};
    // One cycle of node voltages, taken in turn.
    const int32_t cycle = static_cast<int32_t>(std::lround(1.0 / (60.0 * kStep)));
    std::vector<std::array<double, 6>> volts(static_cast<size_t>(cycle));
    for (int32_t i = 0; i < cycle; ++i)
        for (int32_t p = 0; p < 3; ++p) {
            const double c = std::cos(w * i * kStep - p * 2.0 * M_PI / 3.0);
            volts[static_cast<size_t>(i)][2 * p] = vp[0] * c;
            volts[static_cast<size_t>(i)][2 * p + 1] = vp[1] * c;
        }
    double* vnode = NET.VNODE.data();
    double* vsol = NET.VSOL.data();
    size_t i = 0;
    for (auto _ : state) {
        const std::array<double, 6>& v = volts[i];
        i = i + 1 == volts.size() ? 0 : i + 1;
        std::copy(v.begin(), v.end(), vnode);
        std::copy(v.begin(), v.end(), vsol);
        DSMDYN(1);
        XFMR_CURRENTS(1, 1.0, false, false, false);
        XFMR_ROLLOVER(1);
        benchmark::DoNotOptimize(XFMR_TABLES.XF_CURTOT(1, 1));
    }
    state.counters["ratio_to_network_step"] = benchmark::Counter(
        g_ladder, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["saturated_limbs"] = XFMR_TABLES.XF_SEGST(1, 1);
    reset_all_engine_state();
}

}  // namespace

BENCHMARK(transformer_part)->Arg(0)->Arg(1)->ArgNames({"saturated"});

BENCHMARK_MAIN();
