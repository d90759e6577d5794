// Time of the per-step update of one "FRE-PHASE" line (3 conductors, 8
// admittance poles per column, one delay group of 8 poles) and of one
// "MFDTD" line (3 conductors, 2 poles, 10 segments), each read from its
// files and set up as a run does, as the cost of so many nodes of the
// network step (the 1,000-node R-C ladder of the same run).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/ladder.h"
#include "engine/bookends.h"
#include "engine/run_state.h"
#include "lines/lines.h"
#include "network/line_reader.h"
#include "network/map_reader.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

double node_step_cost() {
    static double cost = [] {
        constexpr int32_t n = 1000, steps = 3000;
        bench::rc_ladder(n);
        bench::first_step();
        const Clock::time_point t0 = Clock::now();
        for (int k = 0; k < steps; ++k) {
            SOLVE_NETWORK();
            ++RUN_CLOCK.NSTEP;
        }
        const double c = seconds_since(t0) / (steps * double{n});
        reset_all_engine_state();
        return c;
    }();
    return cost;
}

std::string frephase_file() {
    std::ostringstream s;
    s.precision(17);
    s << "FRE-PHASE\nYc\nfitted\n 3\npoles\n";
    for (int i = 1; i <= 3; ++i) {
        s << " 8\n";
        for (int k = 1; k <= 8; ++k) {
            s << -100.0 * std::pow(3.0, k) << "\n " << (k % 2 ? 0.0 : 10.0 * k) << "\n";
            for (int j = 1; j <= 3; ++j) s << (i == j ? 1e-4 : 2e-5) * k << "\n 0\n";
        }
    }
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j) s << (i == j ? 2.5e-3 : -2e-4) << "\n";
    s << "H\nfitted\n 1\ndelays\n 0.000526\npoles\n 8\n";
    for (int k = 1; k <= 8; ++k) s << -500.0 * std::pow(2.5, k) << "\n 0\n";
    s << "residues\n";
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j)
            for (int k = 1; k <= 8; ++k) s << (i == j ? 60.0 : 5.0) * k << "\n 0\n";
    return s.str();
}

std::string mfdtd_file() {
    std::ostringstream s;
    s.precision(17);
    s << "MFDTD  3  2\n 3e8\n 150000\n";
    for (const double scale : {2e-5, 1.3e-6, 1e-11, 9e-12})
        for (int i = 1; i <= 3; ++i)
            for (int j = i; j <= 3; ++j) s << (i == j ? scale : scale / 5) << "\n";
    s << " 2\n (-2000, 0)\n";
    for (int i = 1; i <= 3; ++i)
        for (int j = i; j <= 3; ++j) s << " (" << (i == j ? 1e-3 : 2e-4) << ", 0)\n";
    s << " (-20000, 0)\n";
    for (int i = 1; i <= 3; ++i)
        for (int j = i; j <= 3; ++j) s << " (" << (i == j ? 1e-2 : 2e-3) << ", 0)\n";
    return s.str();
}

// Reads a case of one three-phase line between 100-ohm sources and loads.
void read_case(const std::string& line_file) {
    const fs::path dir = fs::temp_directory_path() / "zarik_line_models_bench";
    fs::create_directories(dir);
    std::ofstream(dir / "line.tlo") << line_file;
    std::ofstream(dir / "page.map") << "BRANCHES:\n 0 1 RE 100.0 100.0\n 0 2 RE 100.0 -50.0\n 0 3 RE 100.0 -50.0\n"
                                       " 4 0 R 1000.0\n 5 0 R 1000.0\n 6 0 R 1000.0\nTLINES:\n"
                                       "HOLVA Line Constants\n 3 0\n 1 1 2 3 1 0 1 0\n 1 4 5 6 1 0 1 0\n"
                                       "TLINE-INPUT-DATA  line.tli\nTLINE-OUTPUT-DATA line.tlo\nENDPAGE\n";
    std::ofstream(dir / "case.map") << "DIMENSIONS:\n NODES = 6\n SUBSYS = 1\n BRANCHES = 8\n NNODES = 12\n"
                                       " NPAGES = 1\n SUBSYSPAGE = 1\nPARAMETERS:\n TIME_STEP = 50.0E-6\n"
                                       " PRINT_STEP = 50.0E-6\n FINISH_TIME = 1.0\nSUBSYSDIM:\n 1 6\nSUBS:\n 1 1\n"
                                       "MAP: 'page.map'\n 1 6 1 2 3 4 5 6\n 0 0\nENDCASE\n";
    const fs::path here = fs::current_path();
    fs::current_path(dir);
    reset_all_engine_state();
    RUN_SEQ.START_MODE = "DATA";
    RUN_SEQ.IRUN = RUN_SEQ.NRUNS = 1;
    RUN_SEQ.FIRST_RUN = LTRUE;
    RUN_SEQ.CONNECTED = LFALSE;
    RUN_SETUP.start_file.assign("case.map");
    INPUT.INPUT_UNIT = INPUT_UNIT_NONE;
    READDATA();
    fs::current_path(here);
    for (int32_t k = 1; k <= 6; ++k) NET.VNODE(k, 1) = 100.0 * std::sin(0.7 * k);
}

void line_model_step(benchmark::State& state, const std::string& file, double per) {
    const double node = node_step_cost();
    read_case(file);
    const Clock::time_point t0 = Clock::now();
    for (auto _ : state) {
        TLSTEP();
        TLPOST();
        benchmark::DoNotOptimize(NET.TLINJ(1, 1));
    }
    const double per_step = seconds_since(t0) / static_cast<double>(state.iterations());
    state.counters["per_line_step"] = per_step;
    state.counters["network_nodes"] = per_step / node / per;
    reset_all_engine_state();
}

void frephase_step(benchmark::State& state) { line_model_step(state, frephase_file(), 1.0); }
// Per segment.
void mfdtd_step(benchmark::State& state) { line_model_step(state, mfdtd_file(), 10.0); }

BENCHMARK(frephase_step);
BENCHMARK(mfdtd_step);

}  // namespace

BENCHMARK_MAIN();
