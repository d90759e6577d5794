// One whole step of the compiled case (its dynamic pass, the network
// solution, its output pass and the pointer checks) in the 1.5-2 s regime,
// with the DC-DC converter switching; SOLVE_NETWORK alone timed beside it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "case/station.h"
#include "case/tests/case_steps.h"
#include "engine/engine_reset.h"
#include "engine/pointer_block.h"
#include "engine/pointer_checks.h"
#include "engine/run_state.h"
#include "engine/time_step.h"
#include "network/input_state.h"
#include "network/map_reader.h"
#include "network/solve_network.h"
#include "network/tests/data_start.h"

namespace {

namespace fs = std::filesystem;

// The case's data copied into a folder of its own, read as a first run
// from data and stepped to 1.5 s.
void start_case(const fs::path& dir) {
    fs::create_directories(dir);
    for (const auto& e : fs::directory_iterator(fs::path(ZARIK_SOURCE_DIR) / "case" / "data"))
        fs::copy_file(e.path(), dir / e.path().filename(), fs::copy_options::overwrite_existing);
    if (chdir(dir.c_str()) != 0) std::abort();
    start_from_data("station.map");
    READDATA();
    case_begin_passes();
    if (RUN_CLOCK.RUN_DELT > 0.0) RUN_CLOCK.DELT = RUN_CLOCK.RUN_DELT;
    case_steps(30000);
}

void case_step(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const fs::path home = fs::current_path(), dir = fs::temp_directory_path() / "zarik-case-bench";
    start_case(dir);
    RunClock& c = RUN_CLOCK;
    double solution = 0.0, dynamic = 0.0, output = 0.0, total = 0.0;
    int64_t steps = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        for (int n = 0; n < 400; ++n, ++c.NSTEP) {
            c.TIME = c.NSTEP * c.DELT;
            c.PREV_TIME = (c.NSTEP - 1) * c.DELT;
            const auto t0 = Clock::now();
            RESETPTRS();
            Station_DSD();
            CHKTXFRS();
            const auto t1 = Clock::now();
            SOLVE_NETWORK();
            const auto t2 = Clock::now();
            RESETPTRS_OUT();
            Station_DSO();
            CHKNEXC();
            CHKNRTC();
            CHKTXFRS();
            const auto t3 = Clock::now();
            dynamic += std::chrono::duration<double>(t1 - t0).count();
            solution += std::chrono::duration<double>(t2 - t1).count();
            output += std::chrono::duration<double>(t3 - t2).count();
        }
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(elapsed);
        total += elapsed;
        steps += 400;
    }
    const double per = 1e9 / static_cast<double>(steps);
    state.counters["dynamic_pass_ns"] = dynamic * per;
    state.counters["solution_ns"] = solution * per;
    state.counters["output_pass_ns"] = output * per;
    state.counters["solution_share"] = solution / (dynamic + solution + output);
    // Simulated time over wall time: the aim is at least 10.
    state.counters["times_real_time"] = c.DELT * static_cast<double>(steps) / total;
    if (chdir(home.c_str()) != 0) std::abort();
    reset_all_engine_state();
    fs::remove_all(dir);
}

}  // namespace

BENCHMARK(case_step)->UseManualTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
