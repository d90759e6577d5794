// The run loop, the time step and the run bookends against the recording
// stand-in case.
#include "engine/bookends.h"
#include "engine/engine_reset.h"
#include "engine/pointer_block.h"
#include "engine/run_loop.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "engine/tests/recording_case.h"
#include "engine/time_step.h"
#include "network/dimensions.h"
#include "platform/tests/support/capture.h"

namespace {

class RunFrame : public ::testing::Test {
protected:
    void SetUp() override {
        reset_all_engine_state();
        RECORDING_CASE.reset();
    }
    void TearDown() override {
        RECORDING_CASE.reset();
        reset_all_engine_state();
    }
    // A standalone single run started from data.
    void prepare(double fintim, double delt, double print_step) {
        if (!STORAGE.STOR.allocated()) {
            DIMBLOCK.REQ[10] = 100;  // STOR
            DIMBLOCK.REQ[29] = 100;  // STORF
            int32_t status = -1;
            ALLOC_STORAGE(status);
            ASSERT_EQ(status, 0);
        }
        RUN_CLOCK.FINTIM = fintim;
        RUN_CLOCK.DELT = delt;
        RUN_CLOCK.PRINT_STEP = print_step;
        RUN_SEQ.START_MODE = "DATA";
        RUN_SEQ.IRUN = 1;
        RUN_SEQ.NRUNS = 1;
        INITCOM();
    }
    std::vector<int> print_points_of_run(int steps, int steps_per_print, bool data_start) {
        PrintCounter pc;
        pc.steps_per_print = steps_per_print;
        pc.saved_print_step = RUN_CLOCK.PRINT_STEP;
        pc.counter = data_start ? steps_per_print - 1 : 0;
        std::vector<int> points;
        for (int s = 0; s < steps; ++s) {
            Logical waiting = LFALSE, now = LFALSE;
            STEPCHECK(RUN_CLOCK.PRINT_STEP, pc, waiting, now);
            if (is_true(now)) points.push_back(s);
        }
        return points;
    }
};

TEST_F(RunFrame, OneRunStepsFromZeroToFinishTime) {
    prepare(0.05, 5e-5, 5e-4);
    EXPECT_EQ(RUN_CLOCK.RUN_STEPS, 1000);
    Logical abort_flag = LTRUE;
    RUNLOOP(abort_flag, false);
    EXPECT_FALSE(is_true(abort_flag));
    EXPECT_EQ(RECORDING_CASE.count("DSD"), 1001);
    EXPECT_EQ(RECORDING_CASE.count("DSO"), 1001);
    const CaseCall& last = RECORDING_CASE.calls.back();
    EXPECT_EQ(last.nstep, 1000);
    EXPECT_DOUBLE_EQ(last.time, 0.05);
    EXPECT_TRUE(last.final_step);
    EXPECT_EQ(RUN_CLOCK.NSTEP, 1001);
}

TEST_F(RunFrame, PrintPointsOfADataStartAndASnapshotStart) {
    prepare(0.05, 5e-5, 5e-4);
    std::vector<int> expected;
    for (int s = 0; s <= 1000; s += 10) expected.push_back(s);
    EXPECT_EQ(print_points_of_run(1001, 10, true), expected);
    // A snapshot start prints first on its tenth step.
    const std::vector<int> snap = print_points_of_run(30, 10, false);
    EXPECT_EQ(snap, (std::vector<int>{9, 19, 29}));
    // Print step equal to the time step: every step.
    EXPECT_EQ(print_points_of_run(3, 1, true), (std::vector<int>{0, 1, 2}));
    // A changed print step takes effect at the next step.
    PrintCounter pc;
    pc.steps_per_print = 10;
    pc.saved_print_step = 5e-4;
    Logical w = LFALSE, now = LFALSE;
    STEPCHECK(1e-4, pc, w, now);
    EXPECT_EQ(pc.steps_per_print, 2);
    EXPECT_DOUBLE_EQ(pc.saved_print_step, 1e-4);
}

TEST_F(RunFrame, OrderOfCallsAndPointerResetsInAStep) {
    prepare(2e-4, 5e-5, 5e-5);
    RECORDING_CASE.on_dsd_begin = [] { POINTER_BLOCK.NSTORF += 7; POINTER_BLOCK.NCXMAP += 2; };
    RECORDING_CASE.on_dsd = [] { POINTER_BLOCK.NSTORF += 3; POINTER_BLOCK.NCXMAP += 2; POINTER_BLOCK.NEXC += 4; };
    Logical abort_flag = LFALSE;
    RUNLOOP(abort_flag, false);
    const auto& calls = RECORDING_CASE.calls;
    ASSERT_GE(calls.size(), 4u);
    // Begin passes once, before the first step's dynamic pass.
    EXPECT_EQ(calls[0].routine, "DSD_BEGIN");
    EXPECT_EQ(calls[1].routine, "DSO_BEGIN");
    EXPECT_EQ(calls[2].routine, "DSD");
    EXPECT_EQ(calls[3].routine, "DSO");
    EXPECT_EQ(RECORDING_CASE.count("DSD_BEGIN"), 1);
    EXPECT_EQ(RECORDING_CASE.count("DSO_BEGIN"), 1);
    EXPECT_TRUE(calls[0].first_step_data);
    // The output-begin pass continues the model storage and the control
    // slots where the dynamic-begin pass stopped.
    EXPECT_EQ(calls[1].nstorf, 8);
    EXPECT_EQ(calls[1].ncxmap, 2);
    // Every step starts its passes from the same pointers.
    for (size_t i = 2; i + 1 < calls.size(); i += 2) {
        const CaseCall &d = calls[i], &o = calls[i + 1];
        EXPECT_EQ(d.routine + o.routine, "DSDDSO");
        EXPECT_EQ(std::vector<int>({d.ninst, d.nstorf, d.nexc, d.ncxmap, o.ninst, o.nstorf, o.nexc, o.ncxmap}),
                  std::vector<int>({1, 1, 0, 0, 1, 4, 4, 2}))
            << "step " << d.nstep;
        EXPECT_EQ(d.nstep, o.nstep);
    }
    EXPECT_FALSE(calls[4].first_step_data);
    EXPECT_FALSE(calls[4].first_step_run);
}

TEST_F(RunFrame, UserStopRunsExactlyOneMoreStepAsTheFinalStep) {
    prepare(0.05, 5e-5, 5e-4);
    RECORDING_CASE.on_dsd = [] {
        if (RUN_CLOCK.NSTEP == 100) USER_STOP(1);
    };
    Logical abort_flag = LFALSE;
    EXPECT_EQ(capture([&] { RUNLOOP(abort_flag, false); }).out, " ***WARN*** Simulation ending on user request.\n");
    EXPECT_EQ(RECORDING_CASE.count("DSD"), 102);
    EXPECT_EQ(RECORDING_CASE.calls.back().nstep, 101);
    EXPECT_TRUE(RECORDING_CASE.calls.back().final_step);

    // In the last possible step a stop changes nothing.
    RUN_CLOCK.NSTEP = 19;
    RUN_CLOCK.LAST_STEP = 20;
    EXPECT_EQ(capture([] { USER_STOP(1); }).out, "");
    EXPECT_EQ(RUN_CLOCK.LAST_STEP, 20);
}

TEST_F(RunFrame, EndRunEarlyMessagesByModeAndRole) {
    const struct {
        int32_t mode, role;
        const char* out;
        int32_t nruns;
    } cases[] = {
        {0, 0, " ***WARN*** Run ending on user request.\n ***WARN***  Continuing with next run.\n", 3},
        {1, 2,
         " ***WARN*** Run ending on user request.\n ***WARN***  Continuing with next run. \n"
         " ***WARN*** Slave simulations cannot finish without Master's consent.\n",
         3},
        {1, 0, " ***WARN*** Simulation ending on user request.\n", 2},
    };
    for (const auto& c : cases) {
        RUN_CLOCK.NSTEP = 5;
        RUN_CLOCK.LAST_STEP = 100;
        RUN_SEQ.IRUN = 2;
        RUN_SEQ.NRUNS = 3;
        RUN_SETUP.eni_role = c.role;
        EXPECT_EQ(capture([&] { USER_STOP(c.mode); }).out, c.out);
        EXPECT_EQ(RUN_CLOCK.LAST_STEP, 6);
        EXPECT_EQ(RUN_SEQ.NRUNS, c.nruns);
    }
}

TEST_F(RunFrame, StepCountsOfDataAndSnapshotStarts) {
    prepare(0.05, 5e-5, 1e-5);
    EXPECT_EQ(RUN_CLOCK.RUN_STEPS, 1000);
    EXPECT_DOUBLE_EQ(RUN_CLOCK.PRINT_STEP, 5e-5);  // raised to the time step

    reset_all_engine_state();
    RUN_CLOCK.START_STEP = 400;
    prepare(0.05, 5e-5, 5e-4);
    EXPECT_EQ(RUN_CLOCK.RUN_STEPS, 999);
    Logical abort_flag = LFALSE;
    RUN_SEQ.START_MODE = "SNAP";
    POINTER_BLOCK.NTXFR = 1;  // as the snapshot restores the pointers
    RUNLOOP(abort_flag, false);
    ASSERT_EQ(RECORDING_CASE.count("DSD"), 1000);
    EXPECT_EQ(RECORDING_CASE.calls.front().nstep, 401);
    EXPECT_EQ(RECORDING_CASE.calls.back().nstep, 1400);
    EXPECT_EQ(RECORDING_CASE.count("DSD_BEGIN"), 0);

    // A run with no further steps runs one step, not as the final one.
    reset_all_engine_state();
    RECORDING_CASE.reset();
    prepare(5e-5, 5e-5, 5e-5);
    RUN_CLOCK.RUN_STEPS = 0;
    RUNLOOP(abort_flag, false);
    ASSERT_EQ(RECORDING_CASE.count("DSD"), 1);
    EXPECT_FALSE(RECORDING_CASE.calls.back().final_step);
}

TEST_F(RunFrame, DurationErrorStopsTheRun) {
    const std::string expected =
        " ***ERROR** Duration of run is too long for the selected time step. \n"
        " ***ERROR** Increase the solution time step or reduce the duration of run. \n" +
        abort_frame("INITCOM");
    for (double fintim : {1e6, 1e-6}) {
        reset_all_engine_state();
        const Captured c = capture([&] { prepare(fintim, 1e-4, 1e-4); });
        EXPECT_TRUE(c.aborted);
        EXPECT_EQ(c.out, expected) << fintim;
    }
    // A time step that is not positive never divides.
    reset_all_engine_state();
    EXPECT_TRUE(capture([&] { prepare(0.05, 0.0, 1e-4); }).aborted);
}

TEST_F(RunFrame, ElapsedTimeAcrossMidnight) {
    const auto at = [](int32_t h, int32_t m, int32_t s) {
        TimeBlock t;
        t.hour = h, t.minute = m, t.second = s;
        return t;
    };
    const ElapsedTime e = elapsed_time(at(23, 59, 50), at(0, 0, 10));
    EXPECT_EQ(std::vector<int>({e.hours, e.minutes, e.seconds}), std::vector<int>({0, 0, 20}));
    const ElapsedTime f = elapsed_time(at(10, 30, 45), at(12, 10, 5));
    EXPECT_EQ(std::vector<int>({f.hours, f.minutes, f.seconds}), std::vector<int>({1, 39, 20}));
}

TEST_F(RunFrame, GetStorposAndAdvStorptrs) {
    STORAGE.STORI.allocate(10);
    for (int i = 1; i <= 10; ++i) STORAGE.STORI(i) = 100 + i;
    POINTER_BLOCK.saved_stori = 1;
    int32_t a = 0, b = 0, c = 0, d = 0;
    GET_STORPOS(a, b, c, d);
    EXPECT_EQ(b, 102);
    EXPECT_EQ(d, 103);
    EXPECT_EQ(a, 104);
    EXPECT_EQ(c, 5);
    EXPECT_EQ(POINTER_BLOCK.NSTORI, 5);
    ADV_STORPTRS(1, 2, 3, 4);
    EXPECT_EQ(POINTER_BLOCK.NSTORC, 2);
    EXPECT_EQ(POINTER_BLOCK.NSTORF, 3);
    EXPECT_EQ(POINTER_BLOCK.NSTORI, 8);
    EXPECT_EQ(POINTER_BLOCK.saved_stori, 8);
    EXPECT_EQ(POINTER_BLOCK.NSTORL, 5);
}

}  // namespace
