// Time of the network solution: one step without switching of R-C and R-L
// ladders in one subsystem, and the re-factorisation after a switch near
// the start and near the end of the node order.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/bench_network.h"
#include "engine/engine_reset.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "engine/time_step.h"
#include "network/companion.h"
#include "network/dimensions.h"
#include "network/network_tables.h"
#include "network/solve_network.h"
#include "network/triangularise.h"

namespace {

constexpr double kStep = 1e-6;

void tables(int32_t n, int32_t nb) { bench_tables(n, nb, kStep); }

int32_t branch(int32_t from, int32_t to, double R, double L, double C, double E, bool sw = false) {
    return bench_branch(from, to, R, L, C, E, sw);
}

// R-C ladder: series R, C to ground at every node.
void rc_ladder(int32_t n, int32_t switch_node = 0) {
    tables(n, 2 * n + 2);
    branch(0, 1, 1.0, 0.0, 0.0, 1.0);
    for (int32_t k = 1; k <= n; ++k) {
        branch(k, 0, 0.0, 0.0, 1e-6, 0.0);
        branch(k, k < n ? k + 1 : 0, k < n ? 1.0 : 100.0, 0.0, 0.0, 0.0);
    }
    if (switch_node > 0) branch(switch_node, 0, 1e6, 0.0, 0.0, 0.0, true);
}

// R-L ladder: series R-L, R to ground at every node.
void rl_ladder(int32_t n) {
    tables(n, 2 * n + 1);
    branch(0, 1, 1.0, 0.0, 0.0, 1.0);
    for (int32_t k = 1; k <= n; ++k) {
        branch(k, 0, 100.0, 0.0, 0.0, 0.0);
        if (k < n) branch(k, k + 1, 1.0, 1e-3, 0.0, 0.0);
    }
}

void first_step() {
    RUN_CLOCK.NSTEP = 0;
    RUN_FLAGS.FIRST_STEP_DATA = RUN_FLAGS.FIRST_STEP_RUN = LTRUE;
    NET.MXINV(1) = 1;
    NET.NTRIANG(1) = 0;
    SSINIT();
    SOLVE_NETWORK();
    RUN_FLAGS.FIRST_STEP_DATA = RUN_FLAGS.FIRST_STEP_RUN = LFALSE;
    RUN_CLOCK.NSTEP = 1;
}

void steps(benchmark::State& state, void (*ladder)(int32_t)) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    ladder(n);
    first_step();
    for (auto _ : state) {
        SOLVE_NETWORK();
        ++RUN_CLOCK.NSTEP;
        benchmark::DoNotOptimize(NET.VNODE(n, 1));
    }
    state.counters["per_node_step"] =
        benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
    reset_all_engine_state();
}

void rc_one_step(benchmark::State& state) { steps(state, [](int32_t n) { rc_ladder(n); }); }
void rl_one_step(benchmark::State& state) { steps(state, rl_ladder); }

// A switch from a node to ground changes state; the matrix is factorised
// again from that node on.
void refactorise(benchmark::State& state, bool near_start) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    const int32_t node = near_start ? 2 : n - 1;
    rc_ladder(n, node);
    first_step();
    const int32_t sw = NET.NBRANCHES(1);
    bool closed = false;
    for (auto _ : state) {
        closed = !closed;
        NET.GEQ(sw, 1) = closed ? 1e3 : 1e-6;
        NET.MXINV(1) = node;
        ITRIANG(1);
        benchmark::DoNotOptimize(NET.MXINV(1));
    }
    reset_all_engine_state();
}

void retri_near_start(benchmark::State& state) { refactorise(state, true); }
void retri_near_end(benchmark::State& state) { refactorise(state, false); }

}  // namespace

BENCHMARK(rc_one_step)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(rl_one_step)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(retri_near_start)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(retri_near_end)->Arg(100)->Arg(1000)->Arg(10000);

BENCHMARK_MAIN();
