// The run loop, the time step and the run bookends against the recording
// stand-in case.
#include <cmath>

#include "engine/bookends.h"
#include "engine/pointer_block.h"
#include "engine/run_loop.h"
#include "engine/tests/engine_test_support.h"

namespace {

const std::string kTooLong =
    " ***ERROR** Duration of run is too long for the selected time step. \n"
    " ***ERROR** Increase the solution time step or reduce the duration of run. \n";

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
    // A standalone single run started from a snapshot of the given step.
    static Captured from_snapshot(double fintim, double delt, int32_t start_step) {
        reset_engine();
        allocate({{ND_STOR, 100}, {ND_STORF, 100}});
        RUN_CLOCK.FINTIM = fintim;
        RUN_CLOCK.DELT = RUN_CLOCK.PRINT_STEP = delt;
        RUN_CLOCK.START_STEP = start_step;
        RUN_SEQ.START_MODE = "SNAP";
        RUN_SEQ.IRUN = RUN_SEQ.NRUNS = 1;
        return capture([] { INITCOM(); });
    }
    static Logical run() {
        Logical abort_flag = LTRUE;
        RUNLOOP(abort_flag, false);
        return abort_flag;
    }
    static std::vector<int> print_points(int steps, int per_print, bool data_start) {
        PrintCounter pc;
        pc.STEPS_PER_PRINT = per_print;
        pc.saved_print_step = RUN_CLOCK.PRINT_STEP;
        pc.counter = data_start ? per_print - 1 : 0;
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

    std::vector<int> expected;
    for (int s = 0; s <= 1000; s += 10) expected.push_back(s);
    EXPECT_EQ(print_points(1001, 10, true), expected);
    EXPECT_EQ(print_points(30, 10, false), (std::vector<int>{9, 19, 29}));  // a snapshot start
}

TEST_F(RunFrame, OrderOfCallsAndPointerResetsInAStep) {
    prepare(2e-4, 5e-5, 5e-5);
    RECORDING_CASE.on_dsd_begin = [] { POINTER_BLOCK.NSTORF += 7, POINTER_BLOCK.NCXMAP += 2; };
    RECORDING_CASE.on_dsd = [] { POINTER_BLOCK.NSTORF += 3, POINTER_BLOCK.NCXMAP += 2, POINTER_BLOCK.NEXC += 4; };
    run();
    const auto& calls = RECORDING_CASE.calls;
    ASSERT_EQ(calls.size(), 12u);
    // Begin passes once, before the first step's dynamic pass; the
    // output-begin pass goes on where the dynamic-begin pass stopped.
    EXPECT_EQ(calls[0].routine + calls[1].routine, "DSD_BEGINDSO_BEGIN");
    EXPECT_TRUE(calls[0].first_step_data);
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
    EXPECT_EQ(capture([] { run(); }).out,
              " ***WARN*** Simulation ending on user request.\n => This run is  10% complete.\n");
    EXPECT_EQ(RECORDING_CASE.count("DSD"), 102);
    EXPECT_EQ(RECORDING_CASE.calls.back().nstep, 101);
    EXPECT_TRUE(RECORDING_CASE.calls.back().final_step);
}

TEST_F(RunFrame, StopInAnEarlierRunEndsTheLoopOverRuns) {
    RUN_CLOCK.NSTEP = 5;
    RUN_CLOCK.LAST_STEP = 100;
    RUN_SEQ.IRUN = 2;
    RUN_SEQ.NRUNS = 3;
    EXPECT_EQ(capture([] { USER_STOP(1); }).out, " ***WARN*** Simulation ending on user request.\n");
    EXPECT_EQ(RUN_CLOCK.LAST_STEP, 6);
    EXPECT_EQ(RUN_SEQ.NRUNS, 2);  // run 2 of 2, not of 3
    // In the last possible step a stop changes nothing.
    RUN_CLOCK.NSTEP = 99;
    RUN_CLOCK.LAST_STEP = 100;
    RUN_SEQ.NRUNS = 3;
    EXPECT_EQ(capture([] { USER_STOP(1); }).out, "");
    EXPECT_EQ(RUN_CLOCK.LAST_STEP, 100);
    EXPECT_EQ(RUN_SEQ.NRUNS, 3);
}

TEST_F(RunFrame, StepCountsAtTheirLimits) {
    // A run with no further steps runs one step, not as the final one.
    prepare(5e-5, 5e-5, 1e-5);
    EXPECT_DOUBLE_EQ(RUN_CLOCK.PRINT_STEP, 5e-5);  // raised to the time step
    RUN_CLOCK.RUN_STEPS = 0;
    run();
    ASSERT_EQ(RECORDING_CASE.count("DSD"), 1);
    EXPECT_FALSE(RECORDING_CASE.calls.back().final_step);

    // Step counts saturate: a run longer than a step number holds never
    // runs, nor does one whose time step is not positive.
    reset_engine();
    EXPECT_EQ(capture([] { prepare(1e6, 1e-4, 1e-4); }).out, kTooLong + abort_frame("INITCOM"));
    for (const double delt : {0.0, -1e-4}) {
        reset_engine();
        const Captured c = capture([&] { prepare(0.05, delt, 1e-4); });
        EXPECT_EQ(c.out, " ERROR: Undefined, Zero or Negative time-step\n" + abort_frame("INITCOM")) << delt;
    }
}

// A run shorter than one step runs one step when it rounds to its start
// step, and is refused when it would end before it.
TEST_F(RunFrame, RunsShorterThanOneStep) {
    prepare(0.4e-4, 1e-4, 1e-4);
    EXPECT_EQ(RUN_CLOCK.RUN_STEPS, 0);
    capture([] { run(); });
    ASSERT_EQ(RECORDING_CASE.count("DSD"), 1);
    EXPECT_EQ(RECORDING_CASE.calls.back().nstep, 0);

    // From a snapshot of step 400: the finish time counts from its time.
    ASSERT_FALSE(from_snapshot(0.6e-4, 1e-4, 400).aborted);
    EXPECT_EQ(RUN_CLOCK.RUN_STEPS, 0);
    capture([] { run(); });
    ASSERT_EQ(RECORDING_CASE.count("DSD"), 1);
    EXPECT_EQ(RECORDING_CASE.calls.back().nstep, 401);

    const std::string refused = " ***ERROR** Duration of run is shorter than half the selected time step. \n"
                                " ***ERROR** Increase the duration of run or reduce the solution time step. \n" +
                                abort_frame("INITCOM");
    EXPECT_EQ(from_snapshot(0.4e-4, 1e-4, 400).out, refused);
    reset_engine();
    EXPECT_EQ(capture([] { prepare(-0.6e-4, 1e-4, 1e-4); }).out, refused);  // a data start
}

// The print step's count of steps must fit a step number: at the limit
// it does; one step beyond it the run is refused before it starts.
TEST_F(RunFrame, PrintStepCountsUpToTheStepNumberLimit) {
    const double delt = 5e-5;
    const Captured at = capture([&] { prepare(delt * 2147483647.0, delt, delt * 2147483647.0); });
    ASSERT_FALSE(at.aborted) << at.out;
    EXPECT_EQ(RUN_CLOCK.RUN_STEPS, 2147483647);
    reset_engine();
    EXPECT_EQ(capture([&] { prepare(0.02, delt, delt * 2147483648.0); }).out, kTooLong + abort_frame("INITCOM"));
}

// A finish time or a limit past the largest double is no run of
// 2^31 steps: it is refused before the first step.
TEST_F(RunFrame, FinishTimeBeyondTheLargestDouble) {
    EXPECT_EQ(from_snapshot(0.001, 1e308, 40).out, kTooLong + abort_frame("INITCOM"));
    reset_engine();
    EXPECT_EQ(capture([] { prepare(HUGE_VAL, 1e308, 1e308); }).out, kTooLong + abort_frame("INITCOM"));
}

TEST_F(RunFrame, ElapsedTimeAcrossMidnight) {
    TimeBlock a, b;
    a.hour = 23, a.minute = 59, a.second = 50;
    b.hour = 0, b.minute = 0, b.second = 10;
    const ElapsedTime e = elapsed_time(a, b);
    EXPECT_EQ(std::vector<int>({e.hours, e.minutes, e.seconds}), std::vector<int>({0, 0, 20}));
}

}  // namespace
