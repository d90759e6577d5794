// Time of the network solution: one step without switching of R-C and R-L
// ladders in one subsystem (the R-C ladder also with chatter detection),
// and the re-factorisation after a switch near the start and near the end
// of the node order.
#include <benchmark/benchmark.h>

#include "bench/ladder.h"
#include "network/branch_currents.h"
#include "network/interpolation.h"
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

// The parts of a step of the R-C ladder with chatter detection, each timed
// alone and repeated on the state it leaves: the history step, the
// right-hand side, the substitution, the switching-instant search, the
// closing pass's results and the step's close.
enum StepPart { HISTORY, RIGHT_HAND_SIDE, SUBSTITUTION, INSTANTS, RESULTS, CLOSE };
void rc_step_part(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(1));
    rc_ladder(n);
    NET.SSRMCHAT(1) = LTRUE;
    NET.SSDETCHAT(1) = LTRUE;
    first_step();
    for (int k = 0; k < 3; ++k) {
        SOLVE_NETWORK();
        ++RUN_CLOCK.NSTEP;
    }
    const auto part = static_cast<StepPart>(state.range(0));
    double span = 0.0, next = 1.5;
    for (auto _ : state) {
        switch (part) {
            case HISTORY: BRCURR(1); break;
            case RIGHT_HAND_SIDE: INTERPA(1, 0.0, false, false, false); break;
            case SUBSTITUTION: INTERPB(1, 0.0, false, false, false); break;
            case INSTANTS: INTERPOL(1, 0.0, span, next, false, false); break;
            case RESULTS: INCALCVI(1, 0.0, 1.0, true, false, false, false); break;
            case CLOSE: FINISHUP(1); break;
        }
        benchmark::DoNotOptimize(NET.VNODE(n, 1));
    }
    state.counters["per_node_step"] =
        benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
    reset_all_engine_state();
}

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
BENCHMARK(rc_step_part)->ArgsProduct({benchmark::CreateDenseRange(HISTORY, CLOSE, 1), {100, 1000, 10000}});
BENCHMARK(retri_near_start)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(retri_near_end)->Arg(100)->Arg(1000)->Arg(10000);

BENCHMARK_MAIN();
