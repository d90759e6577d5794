// Time of the network solution: one step without switching of R-C and R-L
// ladders in one subsystem (the R-C ladder also with chatter detection),
// and the re-factorisation after a switch near the start and near the end
// of the node order.
#include <benchmark/benchmark.h>

#include "bench/ladder.h"
#include "network/triangularise.h"

namespace {

using namespace bench;

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
// The same with chatter detection and removal on, as a map file leaves them
// unless it says otherwise (the whole program's ladder runs so).
void rc_one_step_detecting(benchmark::State& state) {
    steps(state, [](int32_t n) {
        rc_ladder(n);
        NET.SSRMCHAT(1) = LTRUE;
        NET.SSDETCHAT(1) = LTRUE;
    });
}
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
BENCHMARK(rc_one_step_detecting)->Arg(1000)->Arg(10000);
BENCHMARK(rl_one_step)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(retri_near_start)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(retri_near_end)->Arg(100)->Arg(1000)->Arg(10000);

BENCHMARK_MAIN();
