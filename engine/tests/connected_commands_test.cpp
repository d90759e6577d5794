// A connected run paced and watched by a scripted front end: in this
// process against the recording stand-in case (control values and push
// buttons reach the next step, output on request), and the whole program
// on the shipped example circuit (granted steps, pause, traced node
// voltages and branch currents equal to the engine's own solution of the
// same map file, stop, end of run and the closing exchange).
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/bookends.h"
#include "engine/engine_reset.h"
#include "engine/pointer_block.h"
#include "engine/run_loop.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "engine/tests/linked_engine.h"
#include "engine/tests/recording_case.h"
#include "link/trace.h"
#include "link/wire_codes.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "network/map_reader.h"
#include "network/network_tables.h"

namespace {

using fake_fe::FakeFrontEnd;
using fake_fe::WireFrame;

constexpr int kWait = 10000;

// The next frame whose code is not one of the messages that may come at
// any time (catalogue and component messages).
std::optional<WireFrame> next_record(FakeFrontEnd& f, std::vector<int32_t>* codes = nullptr) {
    for (;;) {
        auto frame = f.ReadFrame(kWait);
        if (!frame) return std::nullopt;
        const int32_t code = WireFrame(*frame).Int();
        if (codes) codes->push_back(code);
        if (code == FE_MSG_CATALOG || code == FE_MSG_USER) continue;
        frame->Int();
        return frame;
    }
}

// -------------------------------------------------- in this process

class ConnectedRunHere : public linked_engine::LinkedEngine {
protected:
    void SetUp() override {
        LinkedEngine::SetUp();
        RECORDING_CASE.reset();
    }
    void TearDown() override {
        RECORDING_CASE.reset();
        LinkedEngine::TearDown();
    }
};

struct StepSeen {
    int32_t nstep = 0;
    double slider = 0.0, button = 0.0;
    bool output = false;
};

TEST_F(ConnectedRunHere, ControlValuesReachTheNextStepAndButtonsHoldForOne) {
    DIMBLOCK.REQ[ND_CX] = 3;
    DIMBLOCK.REQ[ND_CXMAP] = 2;
    int32_t status = -1;
    ALLOC_STORAGE(status);
    ASSERT_EQ(status, 0);
    STORAGE.CXMAP(1) = 2;  // the slider's slot
    STORAGE.CXMAP(2) = 3;  // the button's slot
    RUN_CLOCK.DELT = 1e-3;
    RUN_CLOCK.FINTIM = 10e-3;
    RUN_CLOCK.PRINT_STEP = 1e-3;
    RUN_SEQ.START_MODE = "DATA";
    RUN_SEQ.IRUN = 1;
    RUN_SEQ.NRUNS = 1;
    INITCOM();

    // The module takes its controls through its slots, as a case does.
    std::vector<StepSeen> seen;
    RECORDING_CASE.on_dsd = [&] {
        PointerBlock& p = POINTER_BLOCK;
        StepSeen s;
        s.nstep = RUN_CLOCK.NSTEP;
        s.slider = STORAGE.CX(STORAGE.CXMAP(p.NCXMAP + 1));
        s.button = STORAGE.CX(STORAGE.CXMAP(p.NCXMAP + 2));
        s.output = is_true(RUN_FLAGS.OUTPUT_STEP);
        p.NCXMAP += 2;
        seen.push_back(s);
    };

    std::vector<int32_t> codes;
    std::vector<int32_t> traced_steps;
    std::vector<double> traced_times;
    int32_t var_answer = 0;
    const int32_t time_key = trace_key(TRACE_TIME, 0);
    fe().Run([&](FakeFrontEnd& f) {
        // Run start: 2, 19, 20.
        for (int i = 0; i < 3; ++i)
            if (auto r = next_record(f, &codes); !r) return;
        f.SendInts({FE_CMD_TRACE_ADD, time_key});
        f.SendInts({FE_CMD_STEPS, 2});
        if (!next_record(f, &codes)) return;  // 7
        const auto step_records = [&](int32_t expect_step) {
            auto time = next_record(f, &codes);
            if (!time) return false;
            traced_steps.push_back(time->Int());
            EXPECT_EQ(traced_steps.back(), expect_step);
            if (!next_record(f, &codes)) return false;  // progress
            auto trace = next_record(f, &codes);
            if (!trace) return false;
            traced_times.push_back(trace->Double());
            return true;
        };
        if (!step_records(0) || !step_records(1)) return;
        // Between steps 1 and 2: a slider, a button, output now, two steps.
        f.Send(f.Frame().Int(FE_CMD_SET_VAR).Int(2).Double(7.5));
        f.Send(f.Frame().Int(FE_CMD_BUTTON).Int(3).Double(1.0));
        f.SendInts({FE_CMD_OUTPUT_NOW});
        f.SendInts({FE_CMD_STEPS, 2});
        auto answer = next_record(f, &codes);
        if (!answer) return;
        var_answer = answer->Int();
        if (!step_records(2) || !step_records(3)) return;
        // Stop while step 4 waits: steps 4 and 5 run, 5 as the last.
        f.SendInts({FE_CMD_STOP});
        if (!step_records(4) || !step_records(5)) return;
        auto trace = next_record(f, &codes);
        auto end = next_record(f, &codes);
        if (!trace || !end) return;
        f.SendInts({FE_CMD_END_ANSWER, 0});
    });
    Logical abort_flag = LFALSE;
    linked_engine::console_of([&] { RUNLOOP(abort_flag, true); });
    ASSERT_TRUE(fe().Join(kWait));
    EXPECT_TRUE(is_true(abort_flag));

    EXPECT_EQ(var_answer, 2);
    ASSERT_EQ(seen.size(), 6u);
    const std::array<double, 6> slider{0.0, 0.0, 7.5, 7.5, 7.5, 7.5};
    const std::array<double, 6> button{0.0, 0.0, 1.0, 0.0, 0.0, 0.0};
    const std::array<bool, 6> output{true, false, true, false, false, true};
    for (size_t k = 0; k < seen.size(); ++k) {
        EXPECT_EQ(seen[k].nstep, static_cast<int32_t>(k));
        EXPECT_EQ(seen[k].slider, slider[k]) << k;
        EXPECT_EQ(seen[k].button, button[k]) << k;
        EXPECT_EQ(seen[k].output, output[k]) << k;
    }
    EXPECT_EQ(STORAGE.CX(3), 0.0);  // the button came back
    EXPECT_EQ(traced_steps, (std::vector<int32_t>{0, 1, 2, 3, 4, 5}));
    ASSERT_EQ(traced_times.size(), 6u);
    for (size_t k = 0; k < traced_times.size(); ++k) EXPECT_EQ(traced_times[k], 1e-3 * static_cast<double>(k));
    // The run's records in order; the stop's warning before step 4's.
    const std::vector<int32_t> expected{FE_MSG_RUNSTART, FE_MSG_ENI_LINES, FE_MSG_PRINT_STEP, FE_MSG_TRACE_ADDED,
                                        4, 3, 1, 4, 3, 1, FE_MSG_VAR_SET, 4, 3, 1, 4, 3, 1,
                                        FE_MSG_USER, 4, 3, 1, 4, 3, 1, 1, FE_MSG_END_OF_RUN};
    EXPECT_EQ(codes, expected);
}

TEST_F(ConnectedRunHere, AFrontEndThatHangsUpEndsTheRunAfterOneMoreStep) {
    int32_t status = -1;
    ALLOC_STORAGE(status);
    ASSERT_EQ(status, 0);
    RUN_CLOCK.DELT = 1e-3;
    RUN_CLOCK.FINTIM = 100e-3;
    RUN_CLOCK.PRINT_STEP = 50e-3;
    RUN_SEQ.START_MODE = "DATA";
    RUN_SEQ.IRUN = 1;
    RUN_SEQ.NRUNS = 3;
    INITCOM();
    fe().Run([](FakeFrontEnd& f) {
        for (int i = 0; i < 3; ++i)
            if (!next_record(f)) return;
        f.SendInts({FE_CMD_STEPS, 2});
        next_record(f);  // step 0's time
    });  // and hangs up
    Logical abort_flag = LFALSE;
    testing::internal::CaptureStderr();
    linked_engine::console_of([&] { RUNLOOP(abort_flag, true); });
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(fe().Join(kWait));
    EXPECT_TRUE(is_true(abort_flag));
    EXPECT_EQ(RUN_SEQ.NRUNS, 1);  // no further run
    // Steps 0 and 1 were granted; step 2 found the link closed and ran as
    // a stop's one more step, then step 3 as the last.
    ASSERT_EQ(RECORDING_CASE.count("DSD"), 4);
    EXPECT_EQ(RECORDING_CASE.calls.back().nstep, 3);
    EXPECT_TRUE(RECORDING_CASE.calls.back().final_step);
    EXPECT_EQ(err.rfind("Exchange Error: ", 0), 0u) << err;
}

// ---------------------------------------------- the whole program, example

class ConnectedExample : public testing::Test {
protected:
    void SetUp() override {
        const std::filesystem::path example = std::filesystem::path(ZARIK_SOURCE_DIR) / "examples" / "switched_rl";
        if (!std::filesystem::exists(example / "switched_rl.map")) GTEST_SKIP() << "no example circuit";
        dir_ = make_temp_dir();
        ASSERT_EQ(dir_.rfind("/tmp/zarik-test-", 0), 0u);
        for (const char* name : {"switched_rl.map", "page1.map"})
            std::filesystem::copy_file(example / name, std::filesystem::path(dir_) / name);
    }
    void TearDown() override {
        if (dir_.rfind("/tmp/zarik-test-", 0) == 0) std::filesystem::remove_all(dir_);
        reset_all_engine_state();
        RECORDING_CASE.reset();
    }
    std::string dir_;
};

// What the front end watches: node voltages, branch currents, and one
// branch current the other way round.
struct Watched {
    std::vector<double> values;
};

std::vector<int32_t> watched_keys() {
    return {trace_key(TRACE_VNODE, 1, 1), trace_key(TRACE_VNODE, 2, 1), trace_key(TRACE_CBR, 1, 1),
            trace_key(TRACE_CBR, 2, 1),   trace_key(TRACE_CBR, 3, 1),   trace_key(TRACE_CBR_NEG, 3, 1)};
}

// The same quantities of the same map file, solved here by the engine's
// own libraries, at the given steps.
std::map<int32_t, Watched> solved_here(const std::string& dir, const std::vector<int32_t>& steps) {
    std::map<int32_t, Watched> out;
    const auto back = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    reset_all_engine_state();
    RECORDING_CASE.reset();
    RECORDING_CASE.on_dso = [&] {
        const int32_t n = RUN_CLOCK.NSTEP;
        if (std::find(steps.begin(), steps.end(), n) == steps.end()) return;
        Watched& w = out[n];
        w.values = {NET.VNODE(1, 1), NET.VNODE(2, 1), NET.CBR(1, 1), NET.CBR(2, 1), NET.CBR(3, 1), -NET.CBR(3, 1)};
    };
    RUN_SETUP.start_file = "switched_rl.map";
    RUN_SEQ.START_MODE = "DATA";
    RUN_SEQ.IRUN = 1;
    RUN_SEQ.NRUNS = 1;
    RUN_SEQ.FIRST_RUN = LTRUE;
    INPUT.INPUT_UNIT = INPUT_UNIT_NONE;
    Logical abort_flag = LFALSE;
    linked_engine::console_of([&] {
        READDATA();
        INITCOM();
        RUNLOOP(abort_flag, false);
    });
    std::filesystem::current_path(back);
    return out;
}

TEST_F(ConnectedExample, PacedWatchedStoppedAndClosed) {
    FakeFrontEnd fe;
    ASSERT_GT(fe.Port(), 0);
    const std::vector<int32_t> keys = watched_keys();
    const int32_t time_key = trace_key(TRACE_TIME, 0);

    std::optional<WireFrame> run_start, eni_lines, print_step;
    std::vector<int32_t> answered_keys;
    std::map<int32_t, Watched> traced;  // by step
    std::vector<int32_t> progress;
    std::vector<double> queried_times;
    int32_t pause_step = -1;
    std::vector<int32_t> after_stop, closing;
    std::optional<WireFrame> end_of_run;
    bool shutdown_answered = false;

    const auto run = linked_engine::run_served(
        fe,
        [&](FakeFrontEnd& f) {
            if (!f.Accept()) return;
            f.Send(f.Frame().Int(FE_SETUP_DATAFILE).Str("switched_rl.map"));
            f.SendInts({FE_SETUP_NO_OUTPUT});
            f.SendInts({FE_SETUP_END});
            run_start = next_record(f);
            eni_lines = next_record(f);
            print_step = next_record(f);
            if (!print_step) return;
            for (int32_t k : keys) f.SendInts({FE_CMD_TRACE_ADD, k});
            f.SendInts({FE_CMD_STEPS, 3});
            for (size_t i = 0; i < keys.size(); ++i)
                if (auto a = next_record(f)) answered_keys.push_back(a->Int());
            // One print step's records: time, progress, traced values.
            const auto print_records = [&]() {
                auto time = next_record(f);
                auto prog = next_record(f);
                auto trace = next_record(f);
                if (!time || !prog || !trace) return false;
                const int32_t step = time->Int();
                progress.push_back(prog->Int());
                for (size_t i = 0; i < keys.size(); ++i) traced[step].values.push_back(trace->Double());
                EXPECT_TRUE(trace->AtEnd());
                return true;
            };
            const auto query_time = [&]() {
                f.SendInts({FE_CMD_QUERY, time_key, 1});
                auto v = next_record(f);
                if (!v) return false;
                v->Int();
                v->Int();
                queried_times.push_back(v->Double());
                return true;
            };
            // Three steps granted: step 0 prints, 1 and 2 do not, and the
            // engine waits before step 3.
            if (!print_records() || !query_time()) return;
            // A grant withdrawn at once by a pause: nothing runs.
            std::string both = f.Frame().Int(FE_CMD_STEPS).Int(5).Frame();
            both += f.Frame().Int(FE_CMD_PAUSE).Frame();
            f.SendRaw(both);
            if (auto t = next_record(f)) pause_step = t->Int();
            if (!query_time()) return;
            // Up to step 40: step 20 prints.
            f.SendInts({FE_CMD_STEPS, 37});
            if (!print_records() || !query_time()) return;
            // Stop: step 40 runs and prints, 41 runs as the last.
            f.SendInts({FE_CMD_STOP});
            while (auto r = f.ReadFrame(kWait)) {
                WireFrame probe = *r;
                after_stop.push_back(probe.Int());
                if (after_stop.back() == FE_MSG_TIME) {
                    WireFrame t = *r;
                    t.Int();
                    const int32_t step = t.Int();
                    auto prog = next_record(f);
                    auto trace = next_record(f);
                    if (!prog || !trace) return;
                    after_stop.push_back(FE_MSG_PROGRESS);
                    after_stop.push_back(FE_MSG_TRACE);
                    progress.push_back(prog->Int());
                    for (size_t i = 0; i < keys.size(); ++i) traced[step].values.push_back(trace->Double());
                }
                if (after_stop.back() == FE_MSG_END_OF_RUN) {
                    end_of_run = *r;
                    end_of_run->Int();
                    break;
                }
            }
            f.SendInts({FE_CMD_END_ANSWER, 0});
            while (auto r = f.ReadFrame(kWait)) {
                closing.push_back(WireFrame(*r).Int());
                if (closing.back() == FE_SHUTDOWN) break;
            }
            shutdown_answered = f.SendInts({FE_SHUTDOWN}) && f.WaitForClose(kWait);
        },
        dir_, 20000);
    ASSERT_FALSE(run.result.timed_out) << run.result.out;
    ASSERT_TRUE(run.script_ended);

    // Run start: no output channels, 400 steps of 20 per print, one run.
    ASSERT_TRUE(run_start);
    EXPECT_EQ(run_start->Int(), 0);
    EXPECT_EQ(run_start->Int(), 20);
    EXPECT_EQ(run_start->Int(), 1);
    EXPECT_EQ(run_start->Int(), 1);
    ASSERT_TRUE(eni_lines);
    EXPECT_EQ(eni_lines->Length(), 16);
    ASSERT_TRUE(print_step);
    EXPECT_EQ(print_step->Double(), 1.0e-3 * 1000000.0);
    EXPECT_EQ(answered_keys, keys);

    // Exactly the granted steps ran, and the pause ran none.
    ASSERT_EQ(queried_times.size(), 3u);
    EXPECT_DOUBLE_EQ(queried_times[0], 3 * 50e-6);
    EXPECT_EQ(pause_step, 3);
    EXPECT_DOUBLE_EQ(queried_times[1], 3 * 50e-6);
    EXPECT_DOUBLE_EQ(queried_times[2], 40 * 50e-6);

    // After the stop: the warning, step 40's records, then the end of the
    // run with the traced values and no TX values.
    EXPECT_EQ(after_stop, (std::vector<int32_t>{FE_MSG_USER, FE_MSG_TIME, FE_MSG_PROGRESS, FE_MSG_TRACE,
                                                FE_MSG_TRACE, FE_MSG_END_OF_RUN}));
    ASSERT_TRUE(end_of_run);
    EXPECT_EQ(end_of_run->Length(), 16);
    EXPECT_EQ(end_of_run->Int(), 0);
    EXPECT_EQ(end_of_run->Int(), 0);
    EXPECT_EQ(progress, (std::vector<int32_t>{0, 5, 10}));

    // The closing exchange.
    ASSERT_FALSE(closing.empty());
    EXPECT_EQ(closing.back(), FE_SHUTDOWN);
    EXPECT_TRUE(shutdown_answered);
    EXPECT_EQ(run.result.exit_code, 0) << run.result.out;
    const std::string last = linked_engine::bare_program() + " exiting.  Status code = 0\n";
    ASSERT_GE(run.result.out.size(), last.size());
    EXPECT_EQ(run.result.out.substr(run.result.out.size() - last.size()), last);

    // The traced values are those of the engine's own solution.
    ASSERT_EQ(traced.size(), 3u);
    const std::map<int32_t, Watched> here = solved_here(dir_, {0, 20, 40});
    ASSERT_EQ(here.size(), 3u);
    for (const auto& [step, w] : traced) {
        ASSERT_TRUE(here.count(step)) << step;
        EXPECT_EQ(w.values, here.at(step).values) << "step " << step;
    }
}

}  // namespace

namespace {

TEST_F(ConnectedExample, AFrontEndThatHangsUpMidRunEndsTheProgram) {
    FakeFrontEnd fe;
    ASSERT_GT(fe.Port(), 0);
    const auto run = linked_engine::run_served(
        fe,
        [&](FakeFrontEnd& f) {
            if (!f.Accept()) return;
            f.Send(f.Frame().Int(FE_SETUP_DATAFILE).Str("switched_rl.map"));
            f.SendInts({FE_SETUP_END});
            for (int i = 0; i < 3; ++i)
                if (!next_record(f)) return;
            f.SendInts({FE_CMD_STEPS, 30});
            next_record(f);
        },  // hangs up after step 0's time
        dir_, 20000);
    ASSERT_FALSE(run.result.timed_out) << run.result.out;
    EXPECT_TRUE(run.script_ended);
    EXPECT_EQ(run.result.exit_code, 0) << run.result.out;
    const std::string last = linked_engine::bare_program() + " exiting.  Status code = 0\n";
    ASSERT_GE(run.result.out.size(), last.size());
    EXPECT_EQ(run.result.out.substr(run.result.out.size() - last.size()), last);
    EXPECT_EQ(run.result.err.rfind("Exchange Error: ", 0), 0u) << run.result.err;
}

}  // namespace
