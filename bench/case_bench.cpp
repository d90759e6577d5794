// One whole step of the compiled case as the README's run makes it (its
// dynamic pass, the network solution, its output pass, the pointer checks
// and a record of the output files every print step), over the last half
// second of the 2 s run, with the DC-DC converter switching. Each iteration
// steps the case twice: once timed as a whole (times_real_time), once with
// a clock between the parts (their shares of the step).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "case/station.h"
#include "case/tests/case_copy.h"
#include "case/tests/case_steps.h"
#include "engine/bookends.h"
#include "engine/engine_reset.h"
#include "engine/pointer_block.h"
#include "engine/pointer_checks.h"
#include "engine/run_state.h"
#include "engine/time_step.h"
#include "network/input_state.h"
#include "network/map_reader.h"
#include "network/parameters.h"
#include "network/solve_network.h"
#include "network/tests/data_start.h"
#include "snapshot/run_output.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int32_t kFirst = 30000;  // 1.5 s at the case's 50 us
constexpr int kIterations = 20, kSteps = 250;  // two halves of 250 steps: 0.5 s in all

// The case's data copied into a folder of its own, read as a first run
// from data with its output files, and stepped to 1.5 s.
void start_case(const fs::path& dir) {
    if (!copy_case(std::string(ZARIK_SOURCE_DIR) + "/case/data", dir.string()) || chdir(dir.c_str()) != 0)
        std::abort();
    start_from_data("station.map");
    RUN_SETUP.output_files = LTRUE;
    RUN_SETUP.output_file.assign("station");
    READDATA();
    // The run's own start: it resets each subsystem's triangularisation
    // start, factorisation count and chatter counters.
    INITCOM();
    case_begin_passes();
    case_steps(kFirst - 1);
}

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// The parts of one step, as TIMESTEP and the run loop take them.
void dynamic_pass() {
    RESETPTRS();
    Station_DSD();
    CHKTXFRS();
}
void output_pass() {
    RESETPTRS_OUT();
    Station_DSO();
    CHKNEXC();
    CHKNRTC();
    CHKTXFRS();
}
bool print_step(int32_t n, int32_t every) { return n % every == 0; }

struct Parts {
    double dynamic = 0.0, solution = 0.0, output = 0.0, files = 0.0;
};

void case_step(benchmark::State& state) {
    const fs::path home = fs::current_path(), dir = fs::temp_directory_path() / "zarik-case-bench";
    start_case(dir);
    RunClock& c = RUN_CLOCK;
    const int32_t every = std::max(1, static_cast<int32_t>(std::lround(c.PRINT_STEP / c.DELT)));
    const auto at_step = [&c] {
        c.TIME = c.NSTEP * c.DELT;
        c.PREV_TIME = (c.NSTEP - 1) * c.DELT;
    };
    Parts parts;
    double whole = 0.0;
    int64_t steps = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        for (int n = 0; n < kSteps; ++n, ++c.NSTEP) {
            at_step();
            dynamic_pass();
            SOLVE_NETWORK();
            output_pass();
            if (print_step(c.NSTEP, every)) OUTPUTFILE(3);
        }
        const double elapsed = seconds(start, Clock::now());
        state.SetIterationTime(elapsed);
        whole += elapsed;
        steps += kSteps;
        for (int n = 0; n < kSteps; ++n, ++c.NSTEP) {
            at_step();
            const auto t0 = Clock::now();
            dynamic_pass();
            const auto t1 = Clock::now();
            SOLVE_NETWORK();
            const auto t2 = Clock::now();
            output_pass();
            const auto t3 = Clock::now();
            if (print_step(c.NSTEP, every)) {
                OUTPUTFILE(3);
                parts.files += seconds(t3, Clock::now());
            }
            parts.dynamic += seconds(t0, t1);
            parts.solution += seconds(t1, t2);
            parts.output += seconds(t2, t3);
        }
    }
    OUTPUTFILE(2);
    const double per = 1e9 / static_cast<double>(steps), timed = parts.dynamic + parts.solution + parts.output + parts.files;
    state.counters["step_ns"] = whole * per;
    state.counters["dynamic_pass_ns"] = parts.dynamic * per;
    state.counters["solution_ns"] = parts.solution * per;
    state.counters["output_pass_ns"] = parts.output * per;
    state.counters["output_files_ns"] = parts.files * per;
    state.counters["solution_share"] = parts.solution / timed;
    state.counters["dynamic_share"] = parts.dynamic / timed;
    state.counters["output_share"] = parts.output / timed;
    state.counters["files_share"] = parts.files / timed;
    // Simulated time over wall time: the aim is at least 10.
    state.counters["times_real_time"] = c.DELT * static_cast<double>(steps) / whole;
    if (chdir(home.c_str()) != 0) std::abort();
    reset_all_engine_state();
    fs::remove_all(dir);
}

}  // namespace

BENCHMARK(case_step)->UseManualTime()->Iterations(kIterations)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
