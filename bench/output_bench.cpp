// Time of one print-step record of the output-channel files: 106 channels
// of mixed magnitudes in 11 files on disk, against one step of the 100-node
// R-C ladder timed in the same run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>

#include "bench/ladder.h"
#include "network/parameters.h"
#include "snapshot/run_output.h"

namespace {

constexpr int32_t kChannels = 106;
double ladder_step_seconds = 0.0;

void rc_ladder_step(benchmark::State& state) {
    bench::rc_ladder(100);
    bench::first_step();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        SOLVE_NETWORK();
        ++RUN_CLOCK.NSTEP;
        benchmark::DoNotOptimize(NET.VNODE(100, 1));
    }
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
    ladder_step_seconds = spent.count() / static_cast<double>(state.iterations());
    reset_all_engine_state();
}

// Zeros, tiny and huge values, and every size in between, both signs.
double channel_value(int32_t k, int64_t step) {
    if (k % 17 == 0) return 0.0;
    const double sign = k % 2 == 0 ? -1.0 : 1.0;
    return sign * (1.0 + 1e-3 * static_cast<double>(step % 1000) + k / 7.0) * std::pow(10.0, (k % 23) * 9 - 100);
}

void output_record(benchmark::State& state) {
    const std::string dir = std::filesystem::temp_directory_path() / ("zarik-output-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string home = std::filesystem::current_path();
    std::filesystem::current_path(dir);

    reset_all_engine_state();
    DIMBLOCK.REQ[ND_PGBS] = kChannels;
    int32_t status = 0;
    ALLOC_STORAGE(status);
    if (status != 0) std::abort();
    DIMBLOCK.NPGBS = kChannels;
    RUN_SETUP.output_files = LTRUE;
    RUN_SEQ.NRUNS = RUN_SEQ.IRUN = 1;
    RUN_SEQ.LAST_RUN = LTRUE;
    RUN_CLOCK.DELT = 50e-6;
    PARAMS.title = "Output benchmark";
    OUTPUTFILE(1);
    int64_t step = 0;
    for (int32_t k = 1; k <= kChannels; ++k) STORAGE.PGB(k) = channel_value(k, step);

    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        RUN_CLOCK.NSTEP = static_cast<int32_t>(++step);
        OUTPUTFILE(3);
    }
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
    OUTPUTFILE(2);

    const double per_channel = spent.count() / static_cast<double>(state.iterations()) / kChannels;
    state.counters["ns_per_channel"] = per_channel * 1e9;
    if (ladder_step_seconds > 0.0) state.counters["channel_over_ladder_step"] = per_channel / ladder_step_seconds;
    reset_all_engine_state();
    std::filesystem::current_path(home);
    std::filesystem::remove_all(dir);
}

}  // namespace

BENCHMARK(rc_ladder_step)->UseRealTime();
BENCHMARK(output_record)->UseRealTime();

BENCHMARK_MAIN();
