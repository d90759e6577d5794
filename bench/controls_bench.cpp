// Cost of the control blocks: nanoseconds per call of each block, and a
// mix of 1,000 calls per step set against one step of the 1,000-node R-C
// ladder measured in the same run (the "ratio" counter; below 1 means the
// blocks of a large control system cost less than the network).
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "bench/ladder.h"
#include "controls/block_slots.h"
#include "controls/elementary/logic_blocks.h"
#include "controls/elementary/setup_run_blocks.h"
#include "controls/elementary/store_blocks.h"
#include "controls/fourier/online_fft.h"
#include "controls/interp_pair.h"
#include "controls/interpolating/interpolating_blocks.h"
#include "controls/limit_value.h"
#include "controls/measurement/power_meters.h"
#include "controls/second_order/second_order.h"
#include "controls/sync/sync_blocks.h"
#include "controls/window/window_blocks.h"
#include "controls/linear/linear_blocks.h"
#include "controls/switching/switching_blocks.h"
#include "controls/zero_cross.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"

namespace {

// Inputs that change every call, so that detectors see crossings.
struct Signals {
    double x = 0.0;
    INTERP_PAIR pair;
    double sink = 0.0;
    void advance() { x = x > 0.5 ? -0.7 : x + 0.3; }
};
Signals SIG;

// One row per block: its name and one call with the shared signals.
struct BenchBlock {
    const char* name;
    void (*call)();
};

const std::vector<BenchBlock>& blocks() {
    static const std::vector<BenchBlock> rows{
        {"LIMIT_VALUE", [] { SIG.sink += LIMIT_VALUE(-0.2, 0.4, SIG.x); }},
        {"ZERO_CROSS_F", [] { ZERO_CROSS_F(SIG.x, SIG.pair); }},
        {"COMPARATOR_IP", [] { COMPARATOR_IP(1, 0, SIG.x, 0.1, 1.0, 0.0, 0.0, SIG.pair); }},
        {"HYSTERESIS_IP", [] { HYSTERESIS_IP(0, 1, SIG.x, 0.3, -0.3, SIG.pair); }},
        {"ON_DELAY_IP",
         [] {
             ON_DELAY_IP(1, 2.0 * RUN_CLOCK.DELT, {SIG.x > 0.0 ? 1.0 : 0.0, 0.0}, SIG.pair);
         }},
        {"MONOSTABLE_IP",
         [] {
             MONOSTABLE_IP(1, 3.0 * RUN_CLOCK.DELT, {SIG.x + 0.5, 0.0}, SIG.pair);
         }},
        {"PWM_COMPARE_IP", [] { PWM_COMPARE_IP(1, 1.0, -1.0, SIG.x, 0.1, 0.1, SIG.x, SIG.pair); }},
        {"INTEGRATOR_IP",
         [] {
             SIG.sink += INTEGRATOR_IP(1, 0, 1, 0.0, 1e-3, 0.0, -1.0, 1.0, {}, {SIG.x, 0.0});
         }},
        {"LAG_LIMITED", [] { SIG.sink += LAG_LIMITED(0, 1, 1, 1.0, 0.02, SIG.x, 0.0, -1.0, 1.0); }},
        {"SIGNAL_GENERATOR", [] { SIGNAL_GENERATOR(2, 1, 0.0, 50.0, 50.0, 1.0, -1.0, SIG.pair); }},
        {"SMOOTH_LAG", [] { SIG.sink += SMOOTH_LAG(1.0, 1e-3, SIG.x); }},
        {"STATE_VAR_FILTER", [] { SIG.sink += STATE_VAR_FILTER(1, 1.0, 0.7, 628.0, SIG.x); }},
        {"TRIANGLE_WAVE", [] { TRIANGLE_WAVE(50.0, SIG.sink); }},
        {"RATE_LIMIT_F", [] { RATE_LIMIT_F(1e4, 1e4, SIG.x, SIG.sink); }},
        {"ZARIK_SONON", [] { ZARIK_SONON(SIG.x, 0.1, 1e-3, 1, SIG.pair); }},
        {"DELAY_STOR", [] {
             // The first call at each position seeds its ring, as a first step does.
             RUN_FLAGS.FIRST_STEP_DATA = as_logical(next_slots().S(1) == 0.0);
             SIG.sink += DELAY_STOR(3e-6, 8, SIG.x);
             RUN_FLAGS.FIRST_STEP_DATA = LFALSE;
         }},
        {"SECOND_ORDER_VAR", [] { SIG.sink += SECOND_ORDER_VAR(4, 1.0, 0.9, 3770.0, SIG.x); }},
        {"PQ3PH_METER",
         [] {
             int32_t one;
             double p, q;
             PQ3PH_METER(1, 2, 4, 6, 0, 0, 0, one, 1e-3, p, q);
             SIG.sink += p + q;
         }},
        {"RMS_3PH_RECT", [] { SIG.sink += RMS_3PH_RECT(1, 1, 2, 3, 1e-3); }},
        {"PLL_3PH_TRACK",
         [] {
             // Its set-up's constants sit where it reads them.
             const int32_t constants = POINTER_BLOCK.NRTCF;
             PLL_3PH_TRACK_SETUP(1.0, 60.0);
             POINTER_BLOCK.NRTCF = constants;
             double theta, err, f;
             PLL_3PH_TRACK(SIG.x, -0.5, 0.5 - SIG.x, 177.7, 15791.0, 0.0, 0.0, 1.6, 0.5, theta, err, f);
             SIG.sink += f;
         }},
        {"ABC_DQ0",
         [] {
             double a = SIG.x, b = -0.5, c = 0.5 - SIG.x, d, q, z;
             ABC_DQ0(a, b, c, d, q, z, SIG.x, 0);
             SIG.sink += d + q + z;
         }},
        {"RMS_NODE_V",
         [] {
             // A window not yet sized is seeded, as on a first step.
             RUN_FLAGS.FIRST_STEP_DATA = as_logical(next_slots().I(1) == 0);
             double out;
             RMS_NODE_V(256, 1, 1, 2, 3, 60.0, 1.0, 0.0, out);
             RUN_FLAGS.FIRST_STEP_DATA = LFALSE;
             SIG.sink += out;
         }},
    };
    return rows;
}

constexpr int32_t kMixCalls = 1000;
constexpr int32_t kLadderNodes = 1000;

void block_pointers_to_start() {
    PointerBlock& p = POINTER_BLOCK;
    p.NEXC = 0;
    p.NSTORF = p.NSTORI = p.NSTORL = 1;
    p.NRTCF = p.NRTCI = p.NRTCL = 1;
}

// Stores large enough for the mix, beside a ready ladder.
void set_up() {
    bench::rc_ladder(kLadderNodes);
    bench::first_step();
    RUN_CLOCK.TIME = RUN_CLOCK.DELT;
    StorageArrays& S = STORAGE;
    constexpr int32_t n = 64 * kMixCalls;
    S.STOR.allocate(n);
    S.STORF.allocate(n);
    S.STORI.allocate(n);
    S.STORL.allocate(n);
    S.RTCF.allocate(n);
    S.RTCI.allocate(n);
    S.RTCL.allocate(n);
}

void one_block(benchmark::State& state, const BenchBlock* block) {
    set_up();
    for (auto _ : state) {
        block_pointers_to_start();
        block->call();
        SIG.advance();
    }
    benchmark::DoNotOptimize(SIG.sink);
    reset_all_engine_state();
}

void mix_step() {
    block_pointers_to_start();
    const std::vector<BenchBlock>& rows = blocks();
    for (int32_t k = 0; k < kMixCalls; ++k) {
        rows[static_cast<size_t>(k) % rows.size()].call();
        SIG.advance();
    }
}

double seconds_per_ladder_step(int steps) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int k = 0; k < steps; ++k) SOLVE_NETWORK();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / steps;
}

void mix_against_ladder_step(benchmark::State& state) {
    set_up();
    const double ladder_step = seconds_per_ladder_step(500);
    int64_t steps = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        mix_step();
        ++steps;
    }
    const double mix = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / steps;
    state.counters["ladder_step_us"] = ladder_step * 1e6;
    state.counters["ratio"] = mix / ladder_step;
    benchmark::DoNotOptimize(SIG.sink);
    reset_all_engine_state();
}

// A long window (16,384 samples of a 1 Hz period at 50 us) against one
// step of the 1,000-node R-L ladder: its running mean keeps the cost of a
// step independent of the window's length.
void long_window_against_rl_ladder_step(benchmark::State& state) {
    bench::rl_ladder(kLadderNodes);
    bench::first_step();
    const double ladder_step = seconds_per_ladder_step(500);
    RUN_CLOCK.DELT = 50e-6;
    constexpr int32_t n = 16384;
    STORAGE.STORF.allocate(n + 16);
    STORAGE.STORI.allocate(16);
    double out = 0.0;
    const auto call = [&](int64_t step) {
        block_pointers_to_start();
        RUN_CLOCK.TIME = static_cast<double>(step) * RUN_CLOCK.DELT;
        RMS_WINDOW(n, 1.0, SIG.x, 1.0, 0.0, out);
        SIG.advance();
    };
    RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    call(0);
    RUN_FLAGS.FIRST_STEP_DATA = LFALSE;
    int64_t steps = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) call(++steps);
    const double per_step = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / steps;
    state.counters["ladder_step_us"] = ladder_step * 1e6;
    state.counters["ratio"] = per_step / ladder_step;
    benchmark::DoNotOptimize(out);
    reset_all_engine_state();
}

// The Fourier scanner at 512 samples per period (255 harmonics, 50 Hz,
// 20 us, low-pass on) against one step of the 1,000-node R-L ladder: a
// step that samples and transforms, and a step between samples.
void scanner_against_ladder_step(benchmark::State& state, bool sample) {
    bench::rl_ladder(kLadderNodes);
    bench::first_step();
    const double ladder_step = seconds_per_ladder_step(500);
    StorageArrays& S = STORAGE;
    S.STOR.allocate(2048);
    S.STORF.allocate(16);
    RUN_CLOCK.DELT = 20e-6;
    RUN_CLOCK.TIME = 1.0;
    int32_t index = 0;
    std::vector<double> mag(255), phase(255);
    double dc = 0.0;
    const auto call = [&] {
        block_pointers_to_start();
        ON_LINE_FFT(1, 0, 255, 1, 0, 50.0, SIG.x, index, mag.data(), phase.data(), dc);
        SIG.advance();
    };
    RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    call();
    RUN_FLAGS.FIRST_STEP_DATA = LFALSE;
    // The next sample time, after the low-pass's 49 slots.
    const double next = sample ? 0.0 : 1e9;
    int64_t steps = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        S.STOR(50) = next;
        call();
        ++steps;
    }
    const double per_call = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / steps;
    state.counters["ladder_step_us"] = ladder_step * 1e6;
    state.counters["ratio"] = per_call / ladder_step;
    benchmark::DoNotOptimize(dc);
    reset_all_engine_state();
}

const int registered = [] {
    for (const BenchBlock& b : blocks()) benchmark::RegisterBenchmark(b.name, one_block, &b);
    benchmark::RegisterBenchmark("mix_1000_calls_per_ladder_step", mix_against_ladder_step);
    benchmark::RegisterBenchmark("RMS_WINDOW_16384_per_rl_ladder_step", long_window_against_rl_ladder_step);
    benchmark::RegisterBenchmark("ON_LINE_FFT_sample_M512_per_rl_ladder_step", scanner_against_ladder_step, true);
    benchmark::RegisterBenchmark("ON_LINE_FFT_between_samples_per_rl_ladder_step", scanner_against_ladder_step, false);
    return 0;
}();

}  // namespace

BENCHMARK_MAIN();
