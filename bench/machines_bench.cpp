// Cost of one step of each machine model against one step of the
// 1,000-node R-C ladder measured in the same run (the "ratio" counter).
// The machines sit on a small circuit of their own; only their calls are
// timed.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "bench/ladder.h"
#include "engine/pointer_block.h"
#include "models/machines/induction_machine.h"
#include "models/machines/pm_machine.h"
#include "network/input_state.h"
#include "network/line_reader.h"

namespace {

using Clock = std::chrono::steady_clock;

double ladder_step_seconds() {
    static const double seconds = [] {
        bench::rc_ladder(1000);
        bench::first_step();
        constexpr int steps = 500;
        const auto t0 = Clock::now();
        for (int k = 0; k < steps; ++k) SOLVE_NETWORK();
        const double s = std::chrono::duration<double>(Clock::now() - t0).count() / steps;
        reset_all_engine_state();
        return s;
    }();
    return seconds;
}

void pointers_to_start() {
    PointerBlock& p = POINTER_BLOCK;
    p.NEXC = 0;
    p.NSTORF = p.NSTORI = p.NSTORL = 1;
    p.NRTCF = p.NRTCI = p.NRTCL = 1;
}

// Three phase nodes held by sources, six switched branches from the
// phases to ground, and the model's data lines as the current file.
void machine_circuit(const std::string& data) {
    bench::tables(6, 20);
    RUN_CLOCK.DELT = 50e-6;
    for (int32_t k = 1; k <= 3; ++k) bench::branch(0, k, 1e-4, 0.0, 0.0, 1.0);
    for (int32_t k = 0; k < 6; ++k) bench::branch(k % 3 + 1, 0, 1.0, 0.0, 0.0, 0.0, true);
    StorageArrays& S = STORAGE;
    for (auto* a : {&S.STOR, &S.STORF, &S.RTCF}) a->allocate(400);
    S.RTCI.allocate(10);
    if (data.empty()) return;
    const std::string path = "machines_bench.dat";
    std::ofstream(path) << data;
    INPUT.DATA_FILE_NAME.assign(path);
    OPENFILE();
}

const std::string kNoSaturation = "0 0 1 1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1\n";
const std::string kPmData =
    "13.8 0.2 376.99111843077515\n0.6 0.6 0.5 0.5 0.55 0.55 0.1\n0.01 0.02 0.02\n1.4\n1000\n1 10\n";
std::string induction_data(int n) {
    const std::string r = n == 2 ? "0.01 0.012 0 0 0" : "0.01 0.012 0.02 0.03 0.04";
    return r + "\n3.0 0.1 0.1 0.11 0.12 0.13 0.01 0.02 0.03 0.04 0.05 0.06\n3 3 376.99111843077515\n1 0 1\n" +
           kNoSaturation + kNoSaturation;
}

void model_against_ladder(benchmark::State& state, const std::string& data, const std::function<void()>& setup,
                          const std::function<void()>& call) {
    const double ladder = ladder_step_seconds();
    machine_circuit(data);
    pointers_to_start();
    setup();
    RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    pointers_to_start();
    call();
    RUN_FLAGS.FIRST_STEP_DATA = LFALSE;
    int64_t steps = 0;
    const auto t0 = Clock::now();
    for (auto _ : state) {
        ++steps;
        RUN_CLOCK.TIME = static_cast<double>(steps) * RUN_CLOCK.DELT;
        for (int32_t k = 1; k <= 3; ++k) NET.GNOR(k, 1) = NET.CNOR(k, 1) = 0.0;
        pointers_to_start();
        call();
    }
    const double per_call = std::chrono::duration<double>(Clock::now() - t0).count() / static_cast<double>(steps);
    state.counters["ladder_step_us"] = ladder * 1e6;
    state.counters["ratio"] = per_call / ladder;
    benchmark::DoNotOptimize(NET.CNOR(1, 1));
    std::remove("machines_bench.dat");
    reset_all_engine_state();
}

const int32_t kNodes[3] = {1, 2, 3};
double TE = 0.0;

const int registered = [] {
    benchmark::RegisterBenchmark("PM_MACHINE", [](benchmark::State& s) {
        model_against_ladder(s, kPmData, [] {}, [] { PM_MACHINE(1, kNodes, 4, 5, 6, 1.0, TE); });
    });
    benchmark::RegisterBenchmark("PM_MACHINE_NET", [](benchmark::State& s) {
        model_against_ladder(
            s, "",
            [] { PM_MACHINE_CHK(13.8, 4.78, 60, 0.6, 0.6, 0.55, 0.55, 0.1, 0.01, 0.02, 0.02, 1, 25, 1, 10, 0, 1); },
            [] { PM_MACHINE_NET(1, 4, 5, 6, 7, 8, 9, 0, 1.0, 0.5); });
    });
    for (int n : {2, 5})
        benchmark::RegisterBenchmark(("INDUCMC_N" + std::to_string(n)).c_str(), [n](benchmark::State& s) {
            model_against_ladder(s, induction_data(n), [] {}, [n] { INDUCMC(1, 1, 2, 3, 0, 0, 0, 0, 0.99, 0, 0.7, n - 2); });
        });
    benchmark::RegisterBenchmark("INDUCMC2", [](benchmark::State& s) {
        model_against_ladder(
            s, "",
            [] {
                const double r[5] = {0.01, 0.012}, x[12] = {3.0, 0.1, 0.1};
                const double cx[10] = {0, 1, -1, -1, -1, -1, -1, -1, -1, -1};
                INDUCMC_VCHK(0, 3, 3, 376.99111843077515, 1, 0, 1, 20, 10, r, x, cx, cx, cx, cx);
            },
            [] { INDUCMC2(1, 4, 5, 6, 7, 8, 9, 0, 0, 0, 0, 0, 0, 0.99, 0, 0.7); });
    });
    return 0;
}();

}  // namespace

BENCHMARK_MAIN();
