// A connected run paced and watched by a scripted front end: in this process
// against the recording stand-in case, and the whole program on the shipped
// example, its traced values checked against the engine's own solution.
#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

#include "engine/bookends.h"
#include "engine/pointer_block.h"
#include "engine/run_loop.h"
#include "engine/tests/engine_test_support.h"
#include "link/tests/link_test_support.h"
#include "link/trace.h"
#include "link/wire_codes.h"
#include "network/map_reader.h"
#include "network/network_tables.h"

namespace {

using namespace link_test;

constexpr int kWait = 10000;

// The next frame, after its code and step, that is not a message that may
// come at any time (catalogue and component messages).
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
bool next_records(FakeFrontEnd& f, int n, std::vector<int32_t>* codes = nullptr) {
    while (n-- > 0)
        if (!next_record(f, codes)) return false;
    return true;
}

class ConnectedRunHere : public LinkedEngine {
protected:
    void SetUp() override {
        LinkedEngine::SetUp();
        RECORDING_CASE.reset();
    }
    void TearDown() override {
        RECORDING_CASE.reset();
        LinkedEngine::TearDown();
    }
    // A run from data of steps of 1 ms.
    static Logical Run(double fintim, double print_step) {
        int32_t status = -1;
        ALLOC_STORAGE(status);
        EXPECT_EQ(status, 0);
        RUN_CLOCK.DELT = 1e-3;
        RUN_CLOCK.FINTIM = fintim;
        RUN_CLOCK.PRINT_STEP = print_step;
        RUN_SEQ.START_MODE = "DATA";
        RUN_SEQ.IRUN = 1;
        RUN_SEQ.NRUNS = 1;
        INITCOM();
        Logical abort_flag = LFALSE;
        capture([&] { RUNLOOP(abort_flag, true); }, true);
        return abort_flag;
    }
};

TEST_F(ConnectedRunHere, AControlValueSetBetweenStepsIsReadByTheNextStep) {
    DIMBLOCK.REQ[ND_CX] = 2;
    DIMBLOCK.REQ[ND_CXMAP] = 1;
    // The module takes its slider through its slot, as a case does.
    std::vector<std::pair<int32_t, double>> seen;
    RECORDING_CASE.on_dsd_begin = [] { STORAGE.CXMAP(1) = 2; };
    RECORDING_CASE.on_dsd = [&] {
        seen.emplace_back(RUN_CLOCK.NSTEP, STORAGE.CX(STORAGE.CXMAP(POINTER_BLOCK.NCXMAP + 1)));
        POINTER_BLOCK.NCXMAP += 1;
    };
    int32_t var_answer = 0;
    std::vector<int32_t> codes;
    fe().Run([&](FakeFrontEnd& f) {
        // Run start, then the time, progress and traces of steps 0 and 1.
        f.SendInts({FE_CMD_STEPS, 2});
        if (!next_records(f, 9, &codes)) return;
        f.Send(f.Frame().Int(FE_CMD_SET_VAR).Int(2).Double(7.5));
        f.SendInts({FE_CMD_STEPS, 1});
        auto answer = next_record(f, &codes);
        if (!answer) return;
        var_answer = answer->Int();
        // Stop while step 3 waits: steps 3 and 4 run, 4 as the last.
        if (!next_records(f, 3, &codes)) return;
        f.SendInts({FE_CMD_STOP});
        while (next_record(f, &codes) && codes.back() != FE_MSG_END_OF_RUN) {
        }
        f.SendInts({FE_CMD_END_ANSWER, 0});
    });
    EXPECT_TRUE(is_true(Run(10e-3, 1e-3)));
    ASSERT_TRUE(fe().Join(kWait));
    EXPECT_EQ(var_answer, 2);
    EXPECT_EQ(seen, (std::vector<std::pair<int32_t, double>>{{0, 0.0}, {1, 0.0}, {2, 7.5}, {3, 7.5}, {4, 7.5}}));
    // The run's records in order; the stop's warning before step 3's.
    EXPECT_EQ(codes, (std::vector<int32_t>{FE_MSG_RUNSTART, FE_MSG_ENI_LINES, FE_MSG_PRINT_STEP, 4, 3, 1, 4, 3, 1,
                                           FE_MSG_VAR_SET, 4, 3, 1, FE_MSG_USER, 4, 3, 1, 4, 3, 1, 1,
                                           FE_MSG_END_OF_RUN}));
}

// What the front end watches: node voltages, branch currents, and one
// branch current the other way round.
const std::vector<int32_t> kWatched{trace_key(TRACE_VNODE, 1, 1), trace_key(TRACE_VNODE, 2, 1),
                                    trace_key(TRACE_CBR, 1, 1),   trace_key(TRACE_CBR, 2, 1),
                                    trace_key(TRACE_CBR, 3, 1),   trace_key(TRACE_CBR_NEG, 3, 1)};

// The same quantities of the same map file, solved here by the engine's
// own libraries, at the given steps.
std::map<int32_t, std::vector<double>> solved_here(const std::string& dir, const std::vector<int32_t>& steps) {
    std::map<int32_t, std::vector<double>> out;
    const ScopedChdir here(dir);
    reset_engine();
    RECORDING_CASE.on_dso = [&] {
        if (std::find(steps.begin(), steps.end(), RUN_CLOCK.NSTEP) == steps.end()) return;
        out[RUN_CLOCK.NSTEP] = {NET.VNODE(1, 1), NET.VNODE(2, 1), NET.CBR(1, 1),
                                NET.CBR(2, 1),   NET.CBR(3, 1),   -NET.CBR(3, 1)};
    };
    RUN_SETUP.start_file = "switched_rl.map";
    RUN_SEQ.START_MODE = "DATA";
    RUN_SEQ.IRUN = RUN_SEQ.NRUNS = 1;
    RUN_SEQ.FIRST_RUN = LTRUE;
    INPUT.INPUT_UNIT = INPUT_UNIT_NONE;
    Logical abort_flag = LFALSE;
    capture([&] {
        READDATA();
        INITCOM();
        RUNLOOP(abort_flag, false);
    });
    return out;
}

TEST(ConnectedExample, PacedWatchedStoppedAndClosed) {
    const TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::filesystem::path example = std::filesystem::path(ZARIK_SOURCE_DIR) / "examples" / "switched_rl";
    for (const char* name : {"switched_rl.map", "page1.map"})
        std::filesystem::copy_file(example / name, std::filesystem::path(dir.path) / name);
    FakeFrontEnd fe;
    ASSERT_GT(fe.Port(), 0);
    std::map<int32_t, std::vector<double>> traced;  // by step
    std::vector<int32_t> progress;
    bool closed = false;
    const auto run = run_served(
        fe,
        [&](FakeFrontEnd& f) {
            // The example map, no output files; the run-start records.
            if (!f.Accept() || !f.Send(f.Frame().Int(FE_SETUP_DATAFILE).Str("switched_rl.map")) ||
                !f.SendInts({FE_SETUP_NO_OUTPUT}) || !f.SendInts({FE_SETUP_END}))
                return;
            std::optional<WireFrame> start[3];
            for (auto& r : start)
                if (!(r = next_record(f))) return;
            // No output channels, 400 steps of 20 per print, one run, this computer.
            FText<16> host;
            get_host_name(host);
            EXPECT_EQ(start[0]->Items("iiiis"), "0 20 1 1 " + host.trimmed());
            EXPECT_EQ(start[1]->Items("ii"), "0 0");
            EXPECT_EQ(start[2]->Items("d"), "1000");
            for (int32_t k : kWatched) f.SendInts({FE_CMD_TRACE_ADD, k});
            f.SendInts({FE_CMD_STEPS, 3});
            for (int32_t k : kWatched) {
                auto a = next_record(f);
                EXPECT_TRUE(a && a->Int() == k) << k;
            }
            // One print step's records after its time: progress, traced values.
            const auto print_records = [&](WireFrame time) {
                auto prog = next_record(f);
                auto trace = next_record(f);
                if (!prog || !trace) return false;
                const int32_t step = time.Int();
                progress.push_back(prog->Int());
                for (size_t i = 0; i < kWatched.size(); ++i) traced[step].push_back(trace->Double());
                EXPECT_TRUE(trace->AtEnd());
                return true;
            };
            // Exactly the granted steps ran.
            const auto query_time = [&](int32_t steps) {
                f.SendInts({FE_CMD_QUERY, trace_key(TRACE_TIME, 0), 1});
                auto v = next_record(f);
                if (!v) return false;
                v->Int();
                v->Int();
                EXPECT_DOUBLE_EQ(v->Double(), steps * 50e-6);
                return true;
            };
            // Three steps granted: step 0 prints, 1 and 2 do not, and the
            // engine waits before step 3.
            auto time = next_record(f);
            if (!time || !print_records(*time) || !query_time(3)) return;
            // A grant withdrawn at once by a pause: nothing runs.
            f.SendRaw(f.Frame().Int(FE_CMD_STEPS).Int(5).Frame() + f.Frame().Int(FE_CMD_PAUSE).Frame());
            auto paused = next_record(f);
            EXPECT_TRUE(paused && paused->Int() == 3);
            if (!query_time(3)) return;
            // Up to step 40: step 20 prints.
            f.SendInts({FE_CMD_STEPS, 37});
            time = next_record(f);
            if (!time || !print_records(*time) || !query_time(40)) return;
            // Stop: the warning, step 40 runs and prints, 41 runs as the
            // last; the end of the run with no TX values.
            f.SendInts({FE_CMD_STOP});
            std::vector<int32_t> after_stop;
            while (auto r = f.ReadFrame(kWait)) {
                after_stop.push_back(WireFrame(*r).Int());
                if (after_stop.back() == FE_MSG_TIME) {
                    r->Int();
                    if (!print_records(*r)) return;
                    after_stop.insert(after_stop.end(), {FE_MSG_PROGRESS, FE_MSG_TRACE});
                }
                if (after_stop.back() == FE_MSG_END_OF_RUN) {
                    EXPECT_EQ(r->Items("iii"), "0 0 0");
                    break;
                }
            }
            EXPECT_EQ(after_stop, (std::vector<int32_t>{FE_MSG_USER, FE_MSG_TIME, FE_MSG_PROGRESS, FE_MSG_TRACE,
                                                        FE_MSG_TRACE, FE_MSG_END_OF_RUN}));
            // The closing exchange.
            f.SendInts({FE_CMD_END_ANSWER, 0});
            int32_t last = 0;
            while (auto r = f.ReadFrame(kWait))
                if ((last = r->Int()) == FE_SHUTDOWN) break;
            closed = last == FE_SHUTDOWN && f.SendInts({FE_SHUTDOWN}) && f.WaitForClose(kWait);
        },
        dir.path, 20000);
    ASSERT_FALSE(run.result.timed_out) << run.result.out;
    ASSERT_TRUE(run.script_ended);
    EXPECT_TRUE(closed);
    EXPECT_EQ(run.result.exit_code, 0) << run.result.out;
    EXPECT_TRUE(ends_with(run.result.out, status_line(bare_program(), 0)));
    EXPECT_EQ(progress, (std::vector<int32_t>{0, 5, 10}));
    // The traced values are those of the engine's own solution.
    ASSERT_EQ(traced.size(), 3u);
    EXPECT_EQ(traced, solved_here(dir.path, {0, 20, 40}));
    reset_engine();
}

}  // namespace
