// The run loop, the time step and the run bookends against the recording
// stand-in case.
#include <array>

#include "engine/bookends.h"
#include "engine/pointer_block.h"
#include "engine/run_loop.h"
#include "engine/tests/engine_test_support.h"
#include "engine/time_step.h"

namespace {

class RunFrame : public EngineTest {
protected:
    // A standalone single run started from data.
    static void prepare(double fintim, double delt, double print_step) {
        if (!STORAGE.STOR.allocated()) allocate({{ND_STOR, 100}, {ND_STORF, 100}});
        RUN_CLOCK.FINTIM = fintim;
        RUN_CLOCK.DELT = delt;
        RUN_CLOCK.PRINT_STEP = print_step;
        RUN_SEQ.START_MODE = "DATA";
        RUN_SEQ.IRUN = RUN_SEQ.NRUNS = 1;
        INITCOM();
    }
    static Logical run() {
        Logical abort_flag = LTRUE;
        RUNLOOP(abort_flag, false);
        return abort_flag;
    }
    static std::vector<int> print_points_of_run(int steps, int STEPS_PER_PRINT, bool data_start) {
        PrintCounter pc;
        pc.STEPS_PER_PRINT = STEPS_PER_PRINT;
        pc.saved_print_step = RUN_CLOCK.PRINT_STEP;
        pc.counter = data_start ? STEPS_PER_PRINT - 1 : 0;
        std::vector<int> points;
        for (int s = 0; s < steps; ++s) {
            Logical waiting = LFALSE, now = LFALSE;
            STEPCHECK(RUN_CLOCK.PRINT_STEP, pc, waiting, now);
            if (is_true(now)) points.push_back(s);
        }
        return points;
    }
};

TEST_F(RunFrame, OneRunStepsFromZeroToFinishTimeAndPrintsEveryPrintStep) {
    prepare(0.05, 5e-5, 5e-4);
    EXPECT_EQ(RUN_CLOCK.RUN_STEPS, 1000);
    EXPECT_FALSE(is_true(run()));
    EXPECT_EQ(RECORDING_CASE.count("DSD"), 1001);
    EXPECT_EQ(RECORDING_CASE.count("DSO"), 1001);
    const CaseCall& last = RECORDING_CASE.calls.back();
    EXPECT_EQ(last.nstep, 1000);
    EXPECT_DOUBLE_EQ(last.time, 0.05);
    EXPECT_TRUE(last.final_step);
    EXPECT_EQ(RUN_CLOCK.NSTEP, 1001);

    std::vector<int> expected;
    for (int s = 0; s <= 1000; s += 10) expected.push_back(s);
    EXPECT_EQ(print_points_of_run(1001, 10, true), expected);
    EXPECT_EQ(print_points_of_run(30, 10, false), (std::vector<int>{9, 19, 29}));  // a snapshot start
    EXPECT_EQ(print_points_of_run(3, 1, true), (std::vector<int>{0, 1, 2}));
    // A changed print step takes effect at the next step.
    PrintCounter pc;
    pc.STEPS_PER_PRINT = 10;
    pc.saved_print_step = 5e-4;
    Logical w = LFALSE, now = LFALSE;
    STEPCHECK(1e-4, pc, w, now);
    EXPECT_EQ(pc.STEPS_PER_PRINT, 2);
    EXPECT_DOUBLE_EQ(pc.saved_print_step, 1e-4);
}

TEST_F(RunFrame, OrderOfCallsAndPointerResetsInAStep) {
    prepare(2e-4, 5e-5, 5e-5);
    RECORDING_CASE.on_dsd_begin = [] { POINTER_BLOCK.NSTORF += 7, POINTER_BLOCK.NCXMAP += 2; };
    RECORDING_CASE.on_dsd = [] { POINTER_BLOCK.NSTORF += 3, POINTER_BLOCK.NCXMAP += 2, POINTER_BLOCK.NEXC += 4; };
    run();
    const auto& calls = RECORDING_CASE.calls;
    ASSERT_EQ(calls.size(), 12u);
    // Begin passes once, before the first step's dynamic pass.
    EXPECT_EQ(calls[0].routine + calls[1].routine, "DSD_BEGINDSO_BEGIN");
    EXPECT_TRUE(calls[0].first_step_data);
    // The output-begin pass goes on where the dynamic-begin pass stopped.
    EXPECT_EQ(calls[1].nstorf, 8);
    EXPECT_EQ(calls[1].ncxmap, 2);
    // Every step starts its passes from the same pointers.
    for (size_t i = 2; i + 1 < calls.size(); i += 2) {
        const CaseCall &d = calls[i], &o = calls[i + 1];
        EXPECT_EQ(d.routine + o.routine, "DSDDSO");
        EXPECT_EQ(std::vector<int>({d.nstep, d.ninst, d.nstorf, d.nexc, d.ncxmap, o.nstep, o.ninst, o.nstorf,
                                    o.nexc, o.ncxmap}),
                  std::vector<int>({int(i / 2 - 1), 1, 1, 0, 0, int(i / 2 - 1), 1, 4, 4, 2}));
    }
    EXPECT_FALSE(calls[4].first_step_data || calls[4].first_step_run);
}

TEST_F(RunFrame, UserStopRunsExactlyOneMoreStepAsTheFinalStep) {
    prepare(0.05, 5e-5, 5e-4);
    RECORDING_CASE.on_dsd = [] {
        if (RUN_CLOCK.NSTEP == 100) USER_STOP(1);
    };
    EXPECT_EQ(capture([] { run(); }).out, " ***WARN*** Simulation ending on user request.\n");
    EXPECT_EQ(RECORDING_CASE.count("DSD"), 102);
    EXPECT_EQ(RECORDING_CASE.calls.back().nstep, 101);
    EXPECT_TRUE(RECORDING_CASE.calls.back().final_step);
}

TEST_F(RunFrame, EndRunEarlyMessagesByModeAndRole) {
    const struct {
        int32_t nstep, mode, role;
        const char* out;
        int32_t last_step, nruns;
    } cases[] = {
        {5, 0, 0, " ***WARN*** Run ending on user request.\n ***WARN***  Continuing with next run.\n", 6, 3},
        {5, 1, 2,
         " ***WARN*** Run ending on user request.\n ***WARN***  Continuing with next run. \n"
         " ***WARN*** Slave simulations cannot finish without Master's consent.\n",
         6, 3},
        {5, 1, 0, " ***WARN*** Simulation ending on user request.\n", 6, 2},
        {99, 1, 0, "", 100, 3},  // in the last possible step a stop changes nothing
    };
    for (const auto& c : cases) {
        RUN_CLOCK.NSTEP = c.nstep;
        RUN_CLOCK.LAST_STEP = 100;
        RUN_SEQ.IRUN = 2;
        RUN_SEQ.NRUNS = 3;
        RUN_SETUP.eni_role = c.role;
        EXPECT_EQ(capture([&] { USER_STOP(c.mode); }).out, c.out);
        EXPECT_EQ(RUN_CLOCK.LAST_STEP, c.last_step);
        EXPECT_EQ(RUN_SEQ.NRUNS, c.nruns);
    }
}

TEST_F(RunFrame, StepCountsOfDataAndSnapshotStarts) {
    prepare(0.05, 5e-5, 1e-5);
    EXPECT_EQ(RUN_CLOCK.RUN_STEPS, 1000);
    EXPECT_DOUBLE_EQ(RUN_CLOCK.PRINT_STEP, 5e-5);  // raised to the time step

    reset_engine();
    RUN_CLOCK.START_STEP = 400;
    prepare(0.05, 5e-5, 5e-4);
    EXPECT_EQ(RUN_CLOCK.RUN_STEPS, 999);
    RUN_SEQ.START_MODE = "SNAP";
    POINTER_BLOCK.NTXFR = 1;  // as the snapshot restores the pointers
    run();
    ASSERT_EQ(RECORDING_CASE.count("DSD"), 1000);
    EXPECT_EQ(RECORDING_CASE.calls.front().nstep, 401);
    EXPECT_EQ(RECORDING_CASE.calls.back().nstep, 1400);
    EXPECT_EQ(RECORDING_CASE.count("DSD_BEGIN"), 0);

    // A run with no further steps runs one step, not as the final one.
    reset_engine();
    prepare(5e-5, 5e-5, 5e-5);
    RUN_CLOCK.RUN_STEPS = 0;
    run();
    ASSERT_EQ(RECORDING_CASE.count("DSD"), 1);
    EXPECT_FALSE(RECORDING_CASE.calls.back().final_step);
}

TEST_F(RunFrame, DurationErrorStopsTheRun) {
    for (double fintim : {1e6, 1e-6}) {
        reset_engine();
        const Captured c = capture([&] { prepare(fintim, 1e-4, 1e-4); });
        EXPECT_TRUE(c.aborted);
        EXPECT_EQ(c.out, " ***ERROR** Duration of run is too long for the selected time step. \n"
                         " ***ERROR** Increase the solution time step or reduce the duration of run. \n" +
                             abort_frame("INITCOM"))
            << fintim;
    }
    // A time step that is not positive never divides.
    reset_engine();
    EXPECT_TRUE(capture([&] { prepare(0.05, 0.0, 1e-4); }).aborted);
}

TEST_F(RunFrame, ElapsedTimeAcrossMidnightAndStoragePositions) {
    const auto elapsed = [](std::array<int32_t, 3> from, std::array<int32_t, 3> to) {
        TimeBlock a, b;
        a.hour = from[0], a.minute = from[1], a.second = from[2];
        b.hour = to[0], b.minute = to[1], b.second = to[2];
        const ElapsedTime e = elapsed_time(a, b);
        return std::vector<int>({e.hours, e.minutes, e.seconds});
    };
    EXPECT_EQ(elapsed({23, 59, 50}, {0, 0, 10}), std::vector<int>({0, 0, 20}));
    EXPECT_EQ(elapsed({10, 30, 45}, {12, 10, 5}), std::vector<int>({1, 39, 20}));

    STORAGE.STORI.allocate(10);
    for (int i = 1; i <= 10; ++i) STORAGE.STORI(i) = 100 + i;
    POINTER_BLOCK.saved_stori = 1;
    int32_t a = 0, b = 0, c = 0, d = 0;
    GET_STORPOS(a, b, c, d);
    EXPECT_EQ(std::vector<int>({a, b, c, d, POINTER_BLOCK.NSTORI}), std::vector<int>({104, 102, 5, 103, 5}));
    ADV_STORPTRS(1, 2, 3, 4);
    const PointerBlock& p = POINTER_BLOCK;
    EXPECT_EQ(std::vector<int>({p.NSTORC, p.NSTORF, p.NSTORI, p.saved_stori, p.NSTORL}),
              std::vector<int>({2, 3, 8, 8, 5}));
}

}  // namespace
