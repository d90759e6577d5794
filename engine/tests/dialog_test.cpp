// The console set-up of a standalone run: answers, presets, the count of
// invalid answers and the map-file name correction.
#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/dialog.h"
#include "engine/engine_reset.h"
#include "engine/engine_stop.h"
#include "engine/run_state.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "platform/tests/support/run_program.h"
#include "platform/text_units.h"

namespace {

struct Dialogue {
    std::string out;
    bool aborted = false;
};

size_t count_of(const std::string& text, const std::string& piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

// Only the folders this test made are removed.
void remove_folder(const std::string& folder) {
    if (folder.rfind("/tmp/zarik-test-", 0) != 0) return;
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

void touch(const std::string& name) { std::ofstream(name) << "dummy\n"; }

class ConsoleDialogue : public testing::Test {
protected:
    void SetUp() override {
        reset_all_engine_state();
        char here[PATH_MAX];
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        home_ = here;
        folder_ = make_temp_dir();
        ASSERT_NE(folder_, "/tmp");
        ASSERT_EQ(chdir(folder_.c_str()), 0);
    }
    void TearDown() override {
        console_input_from_stdin();
        reset_all_engine_state();
        EXPECT_EQ(chdir(home_.c_str()), 0);
        remove_folder(folder_);
    }

    static Dialogue run(const std::string& answers) {
        Dialogue d;
        console_input_from_text(answers);
        console_flush();
        testing::internal::CaptureStdout();
        try {
            DIALOG();
        } catch (const StandaloneAbort&) {
            d.aborted = true;
        }
        console_flush();
        std::fflush(stdout);
        d.out = testing::internal::GetCapturedStdout();
        return d;
    }

    std::string home_, folder_;
};

const char* const kAsk301 = " IS CASE STARTING FROM DATA INPUT OR SNAPSHOT? ";
const char* const kAsk305 = " ENTER MAP FILE NAME:\n (case_name.map)\n";
const char* const kInvalid = "\n **** NON-VALID RESPONSE ****\n\n **** PLEASE TRY AGAIN ****\n";
const char* const kLastChance = "\n **** THIS IS YOUR LAST CHANCE! ****\n\n";
const char* const kSorry = "\n **** SORRY, MAXIMUM OF FOUR ATTEMPTS ALLOWED ****\n\n";

TEST_F(ConsoleDialogue, InputAtItsEndKeepsEveryPreset) {
    touch("datafile");
    const Dialogue d = run("");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_EQ(RUN_SEQ.START_MODE, "DATA");
    EXPECT_EQ(RUN_SETUP.start_file, "datafile");
    EXPECT_EQ(RUN_SETUP.map_file_for_snap, "datafile");
    EXPECT_FALSE(is_true(RUN_SETUP.snap_planned));
    EXPECT_EQ(RUN_SEQ.NRUNS, 1);
    EXPECT_FALSE(is_true(RUN_SEQ.MULTI_RUN));
    EXPECT_TRUE(is_true(RUN_SETUP.output_files));
    EXPECT_EQ(RUN_SETUP.output_file, "out");
    EXPECT_TRUE(is_true(RUN_SETUP.screen_plot));
    EXPECT_EQ(RUN_CLOCK.FINTIM, 0.5);
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 1.0e6);
    EXPECT_EQ(RUN_SETUP.snap_interval, 1.0e6);
    EXPECT_EQ(RUN_SETUP.snap_file, "snap");
    EXPECT_EQ(DIMBLOCK.NPGBS, 10);
    EXPECT_EQ(RUN_SETUP.multirun_file, "mrun");
    EXPECT_EQ(RUN_SETUP.invalid_answers, 0);
    // The prompts in their order, each written once.
    const char* order[] = {kAsk301, " IS A SNAPSHOT REQUIRED? ", kAsk305, " ENTER NUMBER OF RUNS REQUIRED:",
                           " IS OUTPUT FILE REQUIRED?", " ENTER OUTPUT FILE NAME:", " TO WRITE A SCREEN PLOT, ENTER 1,"};
    size_t at = 0;
    for (const char* p : order) {
        const size_t next = d.out.find(p, at);
        ASSERT_NE(next, std::string::npos) << p << "\n" << d.out;
        EXPECT_EQ(count_of(d.out, p), 1u) << p;
        at = next;
    }
    EXPECT_EQ(d.out.find("ONLY THE LAST RUN"), std::string::npos);
}

TEST_F(ConsoleDialogue, MissingMapFileAtEndOfInputEndsTheRunOnTheFourthTry) {
    const Dialogue d = run("");
    ASSERT_TRUE(d.aborted);
    const std::string missing = "\n **** INPUT FILE datafile   DOES NOT EXIST! ****\n\n";
    EXPECT_EQ(count_of(d.out, missing), 4u) << d.out;
    EXPECT_EQ(count_of(d.out, kLastChance), 1u);
    EXPECT_EQ(count_of(d.out, kAsk301), 2u);
    EXPECT_EQ(count_of(d.out, "NON-VALID RESPONSE"), 0u);
    EXPECT_EQ(RUN_SETUP.invalid_answers, 4);
    // The third report restarts, the fourth ends with the terminating path.
    const size_t third = d.out.find(missing, d.out.find(missing, d.out.find(missing) + 1) + 1);
    EXPECT_EQ(d.out.find(kLastChance), third + missing.size());
    const std::string tail = std::string(kSorry) + "\n **** EXECUTION TERMINATING  ****\n\n" +
                             " =========================================================\n"
                             " ERROR: Abnormal termination of ZARIK by OUTMSG      \n"
                             " =========================================================\n \n";
    ASSERT_GE(d.out.size(), tail.size());
    EXPECT_EQ(d.out.substr(d.out.size() - tail.size()), tail);
    EXPECT_EQ(d.out.substr(d.out.size() - tail.size() - missing.size(), missing.size()), missing);
}

TEST_F(ConsoleDialogue, DataFileExtensionBecomesMap) {
    touch("case.map");
    const Dialogue d = run("0\n0\ncase.dat\n1\n0\n0\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_NE(d.out.find(std::string(kAsk305) + " Warning: case.dat has been interpreted as\n      >>> case.map <<<\n"),
              std::string::npos)
        << d.out;
    EXPECT_EQ(RUN_SETUP.start_file, "case.map");
    EXPECT_EQ(RUN_SETUP.map_file_for_snap, "case.map");
    // The line keeps the name as it was typed.
    EXPECT_EQ(INPUT.DATA_LINE.sub(1, 34), pad_text("case.dat", 34));
    EXPECT_FALSE(is_true(RUN_SETUP.output_files));
    EXPECT_FALSE(is_true(RUN_SETUP.screen_plot));
    EXPECT_EQ(RUN_SETUP.invalid_answers, 0);
}

TEST_F(ConsoleDialogue, UpperCaseExtensionIsNotChanged) {
    touch("case.map");
    const Dialogue d = run("0\n0\ncase.DAT\ncase.dta\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_NE(d.out.find("\n **** INPUT FILE case.DAT   DOES NOT EXIST! ****\n"), std::string::npos);
    EXPECT_EQ(count_of(d.out, " has been interpreted as"), 1u);
    EXPECT_NE(d.out.find(" Warning: case.dta has been interpreted as\n"), std::string::npos);
    EXPECT_EQ(RUN_SETUP.start_file, "case.map");
    EXPECT_EQ(RUN_SETUP.invalid_answers, 1);
}

TEST_F(ConsoleDialogue, AnswersWithCarriageReturnsAndCommas) {
    touch("case.map");
    const Dialogue d = run("0\r\n0,\r\n'case.map'\r\n3 , 9\r\n1\r\nresult\r\n0\r\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_EQ(RUN_SETUP.start_file, "case.map");
    EXPECT_EQ(RUN_SEQ.NRUNS, 3);
    EXPECT_TRUE(is_true(RUN_SEQ.MULTI_RUN));
    EXPECT_TRUE(is_true(RUN_SETUP.output_files));
    EXPECT_EQ(RUN_SETUP.output_file, "result");
    EXPECT_FALSE(is_true(RUN_SETUP.screen_plot));
    EXPECT_EQ(RUN_SETUP.invalid_answers, 0);
}

TEST_F(ConsoleDialogue, SnapshotPlans) {
    touch("c.map");
    // Any answer but 1 starts from data; any non-zero answer but -1 and -2
    // plans one snapshot.
    Dialogue d = run("7\n5\n0.2\nend.snp\nc.map\n1\n0\n0\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_EQ(RUN_SEQ.START_MODE, "DATA");
    EXPECT_TRUE(is_true(RUN_SETUP.snap_planned));
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 0.2);
    EXPECT_EQ(RUN_SETUP.snap_interval, 1.0e6);
    EXPECT_FALSE(is_true(RUN_SETUP.snap_incremental));
    EXPECT_EQ(RUN_SETUP.snap_file, "end.snp");
    EXPECT_EQ(d.out.find("Warning: Invalid snap time."), std::string::npos);

    reset_all_engine_state();
    d = run("0\n-2\n0.1\nsnaps\nc.map\n1\n0\n0\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 0.1);
    EXPECT_EQ(RUN_SETUP.snap_interval, 0.1);
    EXPECT_TRUE(is_true(RUN_SETUP.snap_incremental));

    // A time of zero or less plans the snapshot at the finish time.
    reset_all_engine_state();
    d = run("0\n-1\n-1\nsnaps\nc.map\n1\n0\n0\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_NE(d.out.find("\n ENTER INCREMENTAL TIME TO FIRST SNAPSHOT:\n"
                         " Warning: Invalid snap time.\n"
                         " Snap will be taken at the end of the run\n"
                         "\n ENTER FILENAME FOR END OF RUN SNAPSHOT:\n"),
              std::string::npos)
        << d.out;
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 0.5);
    EXPECT_EQ(RUN_SETUP.snap_interval, -1.0);
    EXPECT_FALSE(is_true(RUN_SETUP.snap_incremental));
}

TEST_F(ConsoleDialogue, BlankSnapshotNameAsksTheTimeAgain) {
    touch("c.map");
    const Dialogue d = run("0\n1\n0.3\n''\n0.4\nfinal\nc.map\n1\n0\n0\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_EQ(count_of(d.out, " ENTER INCREMENTAL TIME TO FIRST SNAPSHOT:"), 2u);
    EXPECT_EQ(count_of(d.out, kInvalid), 1u);
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 0.4);
    EXPECT_EQ(RUN_SETUP.snap_file, "final");
    EXPECT_EQ(RUN_SETUP.invalid_answers, 1);
}

TEST_F(ConsoleDialogue, NumberOfRuns) {
    touch("c.map");
    Dialogue d = run("0\n0\nc.map\n20000\n1\n0\n0\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_EQ(RUN_SEQ.NRUNS, 1);
    EXPECT_FALSE(is_true(RUN_SEQ.MULTI_RUN));
    EXPECT_EQ(count_of(d.out, " ENTER NUMBER OF RUNS REQUIRED:"), 2u);
    EXPECT_NE(d.out.find(std::string(" ENTER NUMBER OF RUNS REQUIRED:\n") + kInvalid + "\n ENTER NUMBER OF RUNS REQUIRED:"),
              std::string::npos);
    EXPECT_EQ(RUN_SETUP.invalid_answers, 1);

    reset_all_engine_state();
    d = run("0\n0\nc.map\n2\n0\n0\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_EQ(RUN_SEQ.NRUNS, 2);
    EXPECT_TRUE(is_true(RUN_SEQ.MULTI_RUN));
    EXPECT_NE(d.out.find("\n ONLY THE LAST RUN OF MULTIPLE RUNS CAN PRODUCE A SCREEN PLOT.\n"
                         "\n TO WRITE A SCREEN PLOT, ENTER 1,\n"),
              std::string::npos);

    reset_all_engine_state();
    d = run("0\n0\nc.map\n10000\n0\n0\n");
    EXPECT_EQ(RUN_SEQ.NRUNS, 10000);
    EXPECT_EQ(RUN_SETUP.invalid_answers, 0);
}

TEST_F(ConsoleDialogue, InvalidChoicesAreAskedAgain) {
    touch("c.map");
    // 307 with 2 and 309 with 5: each is asked again.
    const Dialogue d = run("0\n0\nc.map\n1\n2\n0\n5\n0\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_EQ(count_of(d.out, " IS OUTPUT FILE REQUIRED?"), 2u);
    EXPECT_EQ(count_of(d.out, " TO WRITE A SCREEN PLOT, ENTER 1,"), 2u);
    EXPECT_EQ(RUN_SETUP.invalid_answers, 2);
    EXPECT_FALSE(is_true(RUN_SETUP.output_files));
    EXPECT_FALSE(is_true(RUN_SETUP.screen_plot));
}

TEST_F(ConsoleDialogue, ThirdInvalidAnswerRestartsWithDefaultsAndTheFourthEnds) {
    touch("c.map");
    // A planned snapshot, then three invalid answers for the number of runs.
    Dialogue d = run("0\n1\n0.3\nsnp\nc.map\n0\n-4\nx\n0\n0\nc.map\n1\n0\n0\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_EQ(count_of(d.out, kInvalid), 3u);
    EXPECT_EQ(count_of(d.out, kLastChance), 1u);
    EXPECT_NE(d.out.find(std::string(kInvalid) + kLastChance + "\n" + kAsk301), std::string::npos) << d.out;
    EXPECT_EQ(RUN_SETUP.invalid_answers, 3);
    EXPECT_FALSE(is_true(RUN_SETUP.snap_planned));
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 1.0e6);
    EXPECT_EQ(RUN_SETUP.snap_file, "snap");

    reset_all_engine_state();
    d = run("x\nx\nx\nx\n");
    ASSERT_TRUE(d.aborted);
    EXPECT_EQ(count_of(d.out, kAsk301), 4u);
    EXPECT_EQ(count_of(d.out, " **** NON-VALID RESPONSE ****"), 4u);
    EXPECT_EQ(count_of(d.out, " **** PLEASE TRY AGAIN ****"), 3u);
    EXPECT_NE(d.out.find("\n **** NON-VALID RESPONSE ****\n" + std::string(kSorry) + "\n **** EXECUTION TERMINATING  ****\n"),
              std::string::npos)
        << d.out;
}

TEST_F(ConsoleDialogue, SnapshotStartAsksRelabellingAndTheSnapshotName) {
    // The snapshot check ends this build's run; everything before it is
    // in place.
    const Dialogue d = run("1\n0\n2\n1\n1\n0\n0\n''\nstart.snp\n");
    ASSERT_TRUE(d.aborted);
    EXPECT_EQ(RUN_SEQ.START_MODE, "SNAP");
    EXPECT_TRUE(is_true(RUN_SETUP.relabel_time));
    EXPECT_EQ(RUN_SETUP.start_file, "start.snp");
    EXPECT_EQ(RUN_SETUP.invalid_answers, 2);
    EXPECT_EQ(d.out.find("ENTER MAP FILE NAME"), std::string::npos);
    EXPECT_EQ(count_of(d.out, " DO YOU WANT TO RE-LABEL THE OUTPUT OF TIME TO START AT 0.0,"), 2u);
    EXPECT_EQ(count_of(d.out, " ENTER FILENAME TO PICK UP SNAPSHOT:"), 2u);
    EXPECT_NE(d.out.find("ERROR: Abnormal termination of ZARIK by SNAP_OK"), std::string::npos) << d.out;
}

TEST(RetryCount, CountsAndEndsTheRunOnTheFourth) {
    reset_all_engine_state();
    for (int k = 1; k <= 3; ++k) {
        testing::internal::CaptureStdout();
        RETRY_COUNT();
        console_flush();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), kInvalid);
        EXPECT_EQ(RUN_SETUP.invalid_answers, k);
    }
    testing::internal::CaptureStdout();
    EXPECT_THROW(RETRY_COUNT(), StandaloneAbort);
    console_flush();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind(std::string("\n **** NON-VALID RESPONSE ****\n") + kSorry, 0), 0u) << out;
    EXPECT_EQ(RUN_SETUP.invalid_answers, 4);
    reset_all_engine_state();
}

std::string fixed_name(const char* typed) {
    reset_all_engine_state();
    RUN_SETUP.start_file = typed;
    testing::internal::CaptureStdout();
    FIX_MAPNAME();
    console_flush();
    return testing::internal::GetCapturedStdout();
}

TEST(FixMapName, ReplacesTheFirstDataExtensionOnly) {
    EXPECT_EQ(fixed_name("a.dta"), " Warning: a.dta has been interpreted as\n      >>> a.map <<<\n");
    EXPECT_EQ(RUN_SETUP.start_file, "a.map");

    EXPECT_EQ(fixed_name("case.map"), "");
    EXPECT_EQ(RUN_SETUP.start_file, "case.map");
    EXPECT_EQ(fixed_name("case.Dat"), "");
    EXPECT_EQ(fixed_name("dat"), "");

    // The first match wins, wherever it is.
    EXPECT_EQ(fixed_name("x.dat.dat"), " Warning: x.dat has been interpreted as\n      >>> x.map <<<\n");
    EXPECT_EQ(RUN_SETUP.start_file, "x.map.dat");

    // The last place a four-character extension fits in the field.
    const std::string full = std::string(30, 'n') + ".dat";
    EXPECT_EQ(fixed_name(full.c_str()), " Warning: " + full + " has been interpreted as\n      >>> " +
                                            std::string(30, 'n') + ".map <<<\n");
    reset_all_engine_state();
}

// The whole program on a console, as a user starts it.
class StandaloneProgram : public testing::Test {
protected:
    void SetUp() override {
        folder_ = make_temp_dir();
        ASSERT_NE(folder_, "/tmp");
    }
    void TearDown() override { remove_folder(folder_); }
    ProgramResult start(const std::string& input) {
        return run_program({std::string(ZARIK_BINARY_DIR) + "/zarik", "-startup:alone"}, input, folder_);
    }
    std::string folder_;
};

TEST_F(StandaloneProgram, ClosedInputInAnEmptyFolderEndsAfterFourAttempts) {
    const ProgramResult r = start("");
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, exit_code_for_status(2000));
    EXPECT_EQ(r.exit_code, 208);
    EXPECT_EQ(count_of(r.out, " **** INPUT FILE datafile   DOES NOT EXIST! ****\n"), 4u) << r.out;
    EXPECT_EQ(count_of(r.out, " **** THIS IS YOUR LAST CHANCE! ****\n"), 1u);
    const std::string end = " **** SORRY, MAXIMUM OF FOUR ATTEMPTS ALLOWED ****\n\n\n"
                            " **** EXECUTION TERMINATING  ****\n\n"
                            " =========================================================\n"
                            " ERROR: Abnormal termination of ZARIK by OUTMSG      \n"
                            " =========================================================\n \n";
    ASSERT_GE(r.out.size(), end.size());
    EXPECT_EQ(r.out.substr(r.out.size() - end.size()), end);
}

TEST_F(StandaloneProgram, DataExtensionIsReadAsTheMapFile) {
    std::ofstream(folder_ + "/case.map") << "\n";
    const ProgramResult r = start("0\n0\ncase.dat\n1\n0\n0\n");
    ASSERT_FALSE(r.timed_out);
    EXPECT_NE(r.out.find(" Warning: case.dat has been interpreted as\n      >>> case.map <<<\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("DOES NOT EXIST"), std::string::npos);
    // The dialogue is over and the run goes on with the map file.
    EXPECT_NE(r.out.find("\n * ZARIK for HOLVA 4.6: "), std::string::npos);
}

}  // namespace
