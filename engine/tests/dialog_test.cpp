// The console set-up of a standalone run: answers, presets, the count of
// invalid answers and the map-file name correction.
#include <fstream>
#include <string>

#include "engine/dialog.h"
#include "engine/engine_reset.h"
#include "engine/run_state.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "platform/tests/support/capture.h"
#include "platform/tests/support/run_program.h"

namespace {

const std::string kAsk301 = " IS CASE STARTING FROM DATA INPUT OR SNAPSHOT? ";
const std::string kAsk305 = " ENTER MAP FILE NAME:\n (case_name.map)\n";
const std::string kInvalid = "\n **** NON-VALID RESPONSE ****\n\n **** PLEASE TRY AGAIN ****\n";
const std::string kLastChance = "\n **** THIS IS YOUR LAST CHANCE! ****\n\n";
const std::string kSorry = "\n **** SORRY, MAXIMUM OF FOUR ATTEMPTS ALLOWED ****\n\n";
const std::string kTerminating = "\n **** EXECUTION TERMINATING  ****\n\n";

class ConsoleDialogue : public testing::Test {
protected:
    void SetUp() override {
        reset_all_engine_state();
        ASSERT_TRUE(folder_.ok() && here_.ok);
    }
    void TearDown() override {
        console_input_from_stdin();
        reset_all_engine_state();
    }
    static Captured run(const std::string& answers) {
        reset_all_engine_state();
        console_input_from_text(answers);
        return capture([] { DIALOG(); });
    }
    static void touch(const std::string& name) { std::ofstream(name) << "dummy\n"; }

    TempDir folder_;
    ScopedChdir here_{folder_.path};
};

TEST_F(ConsoleDialogue, InputAtItsEndKeepsEveryPreset) {
    touch("datafile");
    const Captured d = run("");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_EQ(RUN_SEQ.START_MODE, "DATA");
    EXPECT_EQ(RUN_SETUP.start_file, "datafile");
    EXPECT_EQ(RUN_SETUP.map_file_for_snap, "datafile");
    EXPECT_EQ(RUN_SETUP.output_file, "out");
    EXPECT_EQ(RUN_SETUP.snap_file, "snap");
    EXPECT_EQ(RUN_SETUP.multirun_file, "mrun");
    EXPECT_FALSE(is_true(RUN_SETUP.snap_planned) || is_true(RUN_SEQ.MULTI_RUN));
    EXPECT_TRUE(is_true(RUN_SETUP.output_files) && is_true(RUN_SETUP.screen_plot));
    EXPECT_EQ(RUN_SEQ.NRUNS, 1);
    EXPECT_EQ(RUN_CLOCK.FINTIM, 0.5);
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 1.0e6);
    EXPECT_EQ(RUN_SETUP.snap_interval, 1.0e6);
    EXPECT_EQ(DIMBLOCK.NPGBS, 10);
    EXPECT_EQ(RUN_SETUP.invalid_answers, 0);
    // The prompts in their order, each written once.
    size_t at = 0;
    for (const std::string& p : {kAsk301, std::string(" IS A SNAPSHOT REQUIRED? "), kAsk305,
                                 std::string(" ENTER NUMBER OF RUNS REQUIRED:"), std::string(" IS OUTPUT FILE REQUIRED?"),
                                 std::string(" ENTER OUTPUT FILE NAME:"), std::string(" TO WRITE A SCREEN PLOT, ENTER 1,")}) {
        at = d.out.find(p, at);
        ASSERT_NE(at, std::string::npos) << p << "\n" << d.out;
        EXPECT_EQ(count_of(d.out, p), 1u) << p;
    }
    EXPECT_FALSE(contains(d.out, "ONLY THE LAST RUN"));
}

TEST_F(ConsoleDialogue, MissingMapFileAtEndOfInputEndsTheRunOnTheFourthTry) {
    const Captured d = run("");
    ASSERT_TRUE(d.aborted);
    const std::string missing = "\n **** INPUT FILE datafile   DOES NOT EXIST! ****\n\n";
    EXPECT_EQ(count_of(d.out, missing), 4u) << d.out;
    EXPECT_EQ(count_of(d.out, kLastChance), 1u);
    EXPECT_EQ(count_of(d.out, kAsk301), 2u);
    EXPECT_FALSE(contains(d.out, "NON-VALID RESPONSE"));
    EXPECT_EQ(RUN_SETUP.invalid_answers, 4);
    // The third report restarts, the fourth ends with the terminating path.
    EXPECT_EQ(count_of(d.out.substr(0, d.out.find(kLastChance)), missing), 3u);
    EXPECT_TRUE(contains(d.out, missing + kLastChance + "\n" + kAsk301));
    EXPECT_TRUE(ends_with(d.out, missing + kSorry + kTerminating + abort_frame("OUTMSG"))) << d.out;
}

TEST_F(ConsoleDialogue, DataFileExtensionBecomesMap) {
    touch("case.map");
    const Captured d = run("0\n0\ncase.dat\n1\n0\n0\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_TRUE(contains(d.out, kAsk305 + " Warning: case.dat has been interpreted as\n      >>> case.map <<<\n"))
        << d.out;
    EXPECT_EQ(RUN_SETUP.start_file, "case.map");
    EXPECT_EQ(RUN_SETUP.map_file_for_snap, "case.map");
    // The line keeps the name as it was typed.
    EXPECT_EQ(INPUT.DATA_LINE.sub(1, 34), pad_text("case.dat", 34));
    EXPECT_FALSE(is_true(RUN_SETUP.output_files) || is_true(RUN_SETUP.screen_plot));
    EXPECT_EQ(RUN_SETUP.invalid_answers, 0);

    // An upper-case extension is not changed.
    const Captured u = run("0\n0\ncase.DAT\ncase.dta\n");
    ASSERT_FALSE(u.aborted) << u.out;
    EXPECT_TRUE(contains(u.out, "\n **** INPUT FILE case.DAT   DOES NOT EXIST! ****\n"));
    EXPECT_EQ(count_of(u.out, " has been interpreted as"), 1u);
    EXPECT_TRUE(contains(u.out, " Warning: case.dta has been interpreted as\n"));
    EXPECT_EQ(RUN_SETUP.start_file, "case.map");
    EXPECT_EQ(RUN_SETUP.invalid_answers, 1);
}

TEST_F(ConsoleDialogue, AnswersWithCarriageReturnsAndCommas) {
    touch("case.map");
    const Captured d = run("0\r\n0,\r\n'case.map'\r\n3 , 9\r\n1\r\nresult\r\n0\r\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_EQ(RUN_SETUP.start_file, "case.map");
    EXPECT_EQ(RUN_SEQ.NRUNS, 3);
    EXPECT_TRUE(is_true(RUN_SEQ.MULTI_RUN) && is_true(RUN_SETUP.output_files));
    EXPECT_EQ(RUN_SETUP.output_file, "result");
    EXPECT_FALSE(is_true(RUN_SETUP.screen_plot));
    EXPECT_EQ(RUN_SETUP.invalid_answers, 0);
}

TEST_F(ConsoleDialogue, SnapshotPlans) {
    touch("c.map");
    // Any answer but 1 starts from data; any non-zero answer but -1 and -2
    // plans one snapshot.
    Captured d = run("7\n5\n0.2\nend.snp\nc.map\n1\n0\n0\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_EQ(RUN_SEQ.START_MODE, "DATA");
    EXPECT_TRUE(is_true(RUN_SETUP.snap_planned));
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 0.2);
    EXPECT_EQ(RUN_SETUP.snap_interval, 1.0e6);
    EXPECT_FALSE(is_true(RUN_SETUP.snap_incremental));
    EXPECT_EQ(RUN_SETUP.snap_file, "end.snp");
    EXPECT_FALSE(contains(d.out, "Warning: Invalid snap time."));

    d = run("0\n-2\n0.1\nsnaps\nc.map\n1\n0\n0\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 0.1);
    EXPECT_EQ(RUN_SETUP.snap_interval, 0.1);
    EXPECT_TRUE(is_true(RUN_SETUP.snap_incremental));

    // A time of zero or less plans the snapshot at the finish time.
    d = run("0\n-1\n-1\nsnaps\nc.map\n1\n0\n0\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_TRUE(contains(d.out, "\n ENTER INCREMENTAL TIME TO FIRST SNAPSHOT:\n Warning: Invalid snap time.\n"
                                " Snap will be taken at the end of the run\n"
                                "\n ENTER FILENAME FOR END OF RUN SNAPSHOT:\n"))
        << d.out;
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 0.5);
    EXPECT_EQ(RUN_SETUP.snap_interval, -1.0);
    EXPECT_FALSE(is_true(RUN_SETUP.snap_incremental));

    // A blank snapshot name asks the time again.
    d = run("0\n1\n0.3\n''\n0.4\nfinal\nc.map\n1\n0\n0\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_EQ(count_of(d.out, " ENTER INCREMENTAL TIME TO FIRST SNAPSHOT:"), 2u);
    EXPECT_EQ(count_of(d.out, kInvalid), 1u);
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 0.4);
    EXPECT_EQ(RUN_SETUP.snap_file, "final");
    EXPECT_EQ(RUN_SETUP.invalid_answers, 1);
}

TEST_F(ConsoleDialogue, NumberOfRuns) {
    touch("c.map");
    Captured d = run("0\n0\nc.map\n20000\n1\n0\n0\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_EQ(RUN_SEQ.NRUNS, 1);
    EXPECT_FALSE(is_true(RUN_SEQ.MULTI_RUN));
    EXPECT_EQ(count_of(d.out, " ENTER NUMBER OF RUNS REQUIRED:"), 2u);
    EXPECT_TRUE(contains(d.out, " ENTER NUMBER OF RUNS REQUIRED:\n" + kInvalid + "\n ENTER NUMBER OF RUNS REQUIRED:"));
    EXPECT_EQ(RUN_SETUP.invalid_answers, 1);

    d = run("0\n0\nc.map\n2\n0\n0\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_EQ(RUN_SEQ.NRUNS, 2);
    EXPECT_TRUE(is_true(RUN_SEQ.MULTI_RUN));
    EXPECT_TRUE(contains(d.out, "\n ONLY THE LAST RUN OF MULTIPLE RUNS CAN PRODUCE A SCREEN PLOT.\n"
                                "\n TO WRITE A SCREEN PLOT, ENTER 1,\n"));

    d = run("0\n0\nc.map\n10000\n0\n0\n");
    EXPECT_EQ(RUN_SEQ.NRUNS, 10000);
    EXPECT_EQ(RUN_SETUP.invalid_answers, 0);
}

TEST_F(ConsoleDialogue, InvalidAnswersAreAskedAgainTheThirdRestartsAndTheFourthEnds) {
    touch("c.map");
    // 307 with 2 and 309 with 5: each is asked again.
    Captured d = run("0\n0\nc.map\n1\n2\n0\n5\n0\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_EQ(count_of(d.out, " IS OUTPUT FILE REQUIRED?"), 2u);
    EXPECT_EQ(count_of(d.out, " TO WRITE A SCREEN PLOT, ENTER 1,"), 2u);
    EXPECT_EQ(RUN_SETUP.invalid_answers, 2);
    EXPECT_FALSE(is_true(RUN_SETUP.output_files) || is_true(RUN_SETUP.screen_plot));

    // A planned snapshot, then three invalid answers for the number of runs.
    d = run("0\n1\n0.3\nsnp\nc.map\n0\n-4\nx\n0\n0\nc.map\n1\n0\n0\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_EQ(count_of(d.out, kInvalid), 3u);
    EXPECT_EQ(count_of(d.out, kLastChance), 1u);
    EXPECT_TRUE(contains(d.out, kInvalid + kLastChance + "\n" + kAsk301)) << d.out;
    EXPECT_EQ(RUN_SETUP.invalid_answers, 3);
    EXPECT_FALSE(is_true(RUN_SETUP.snap_planned));
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 1.0e6);
    EXPECT_EQ(RUN_SETUP.snap_file, "snap");

    d = run("x\nx\nx\nx\n");
    ASSERT_TRUE(d.aborted);
    EXPECT_EQ(count_of(d.out, kAsk301), 4u);
    EXPECT_EQ(count_of(d.out, " **** NON-VALID RESPONSE ****"), 4u);
    EXPECT_EQ(count_of(d.out, " **** PLEASE TRY AGAIN ****"), 3u);
    EXPECT_TRUE(ends_with(d.out, "\n **** NON-VALID RESPONSE ****\n" + kSorry + kTerminating + abort_frame("OUTMSG")))
        << d.out;
}

TEST_F(ConsoleDialogue, SnapshotStartAsksRelabellingAndTheSnapshotName) {
    // The snapshot check ends this build's run; everything before it is
    // in place.
    const Captured d = run("1\n0\n2\n1\n1\n0\n0\n''\nstart.snp\n");
    ASSERT_TRUE(d.aborted);
    EXPECT_EQ(RUN_SEQ.START_MODE, "SNAP");
    EXPECT_TRUE(is_true(RUN_SETUP.relabel_time));
    EXPECT_EQ(RUN_SETUP.start_file, "start.snp");
    EXPECT_EQ(RUN_SETUP.invalid_answers, 2);
    EXPECT_FALSE(contains(d.out, "ENTER MAP FILE NAME"));
    EXPECT_EQ(count_of(d.out, " DO YOU WANT TO RE-LABEL THE OUTPUT OF TIME TO START AT 0.0,"), 2u);
    EXPECT_EQ(count_of(d.out, " ENTER FILENAME TO PICK UP SNAPSHOT:"), 2u);
    EXPECT_TRUE(contains(d.out, "ERROR: Abnormal termination of ZARIK by SNAP_OK")) << d.out;
}

TEST(FixMapName, ReplacesTheFirstDataExtensionOnly) {
    const std::string n30(30, 'n');
    const struct {
        std::string typed, fixed, warned;
    } cases[] = {
        {"a.dta", "a.map", "a.dta"}, {"case.map", "case.map", ""}, {"case.Dat", "case.Dat", ""}, {"dat", "dat", ""},
        {"x.dat.dat", "x.map.dat", "x.dat"},  // the first match wins, wherever it is
        {n30 + ".dat", n30 + ".map", n30 + ".dat"},  // the last place a 4-character extension fits
    };
    for (const auto& c : cases) {
        reset_all_engine_state();
        RUN_SETUP.start_file = c.typed.c_str();
        const std::string out = capture([] { FIX_MAPNAME(); }).out;
        EXPECT_EQ(RUN_SETUP.start_file, c.fixed);
        const std::string shown = c.fixed.substr(0, c.warned.size());
        EXPECT_EQ(out, c.warned.empty() ? ""
                                        : " Warning: " + c.warned + " has been interpreted as\n      >>> " + shown +
                                              " <<<\n");
    }
    reset_all_engine_state();
}

}  // namespace
