// The console set-up of a standalone run: answers, presets, the count of
// invalid answers and the map-file name correction.
#include <fstream>

#include "engine/dialog.h"
#include "engine/tests/engine_test_support.h"

namespace {

const std::string kAsk301 = " IS CASE STARTING FROM DATA INPUT OR SNAPSHOT? ";
const std::string kAsk305 = " ENTER MAP FILE NAME:\n (case_name.map)\n";
const std::string kAskRuns = " ENTER NUMBER OF RUNS REQUIRED:";
const std::string kInvalid = "\n **** NON-VALID RESPONSE ****\n\n **** PLEASE TRY AGAIN ****\n";
const std::string kLastChance = "\n **** THIS IS YOUR LAST CHANCE! ****\n\n";
const std::string kTooLong = " File names hold at most 34 characters.\n";
const std::string kNoBase = " File names need a name before their first \".\" or blank.\n";
// A name that fills its field, and one character more.
const std::string kName34 = "abcdefghijklmnopqrstuvwxyz01234567";
const std::string kName35 = kName34 + "8";
// The settings of a dialogue that answers every question with no.
const std::string kNo =
    "mode=DATA start=c.map map=c.map relabel=F out=F:out plot=F snap=F:snap@1e+06/1e+06 inc=F runs=1 multi=F "
    "open=F:mrun fin=0.5 pgbs=10 role=0 flags=F/0 bad=0";
// ... of one whose input ends after the map file: every later preset is kept.
std::string presets(const std::string& map, const std::string& bad = "0") {
    return with(kNo, {{"start", map}, {"map", map}, {"out", "T:out"}, {"plot", "T"}, {"bad", bad}});
}

class ConsoleDialogue : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_TRUE(folder_.ok() && here_.ok);
        for (const std::string& name : {std::string("datafile"), std::string("case.map"), std::string("c.map"), kName34})
            std::ofstream(name) << "dummy\n";
    }
    void TearDown() override {
        console_input_from_stdin();
        EngineTest::TearDown();
    }
    static Captured run(const std::string& answers) {
        reset_engine();
        console_input_from_text(answers);
        return capture([] { DIALOG(); });
    }

    TempDir folder_;
    ScopedChdir here_{folder_.path};
};

TEST_F(ConsoleDialogue, InputAtItsEndKeepsEveryPreset) {
    const Captured d = run("");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_EQ(run_settings(), presets("datafile"));
    // Each question is asked once, not again and again.
    for (const std::string& p : {kAsk301, kAsk305, kAskRuns, std::string(" TO WRITE A SCREEN PLOT, ENTER 1,")})
        EXPECT_EQ(count_of(d.out, p), 1u) << p << "\n" << d.out;
}

TEST_F(ConsoleDialogue, DataFileExtensionBecomesMap) {
    Captured d = run("0\n0\ncase.dat\n1\n0\n0\n");
    ASSERT_FALSE(d.aborted) << d.out;
    EXPECT_TRUE(contains(d.out, kAsk305 + " Warning: case.dat has been interpreted as\n      >>> case.map <<<\n"))
        << d.out;
    EXPECT_EQ(run_settings(), with(kNo, {{"start", "case.map"}, {"map", "case.map"}}));
    // The line keeps the name as it was typed.
    EXPECT_EQ(INPUT.DATA_LINE.sub(1, 34), pad_text("case.dat", 34));
}

TEST_F(ConsoleDialogue, AnswersAndWhatTheyLeave) {
    const struct {
        const char* what;
        std::string answers;
        bool aborted;
        std::string settings;                                // none: not looked at
        std::vector<std::pair<std::string, size_t>> pieces;  // of the output, and how often each appears
    } cases[] = {
        {"carriage returns and commas", "0\r\n0,\r\n'case.map'\r\n3 , 9\r\n1\r\nresult\r\n0\r\n", false,
         with(kNo, {{"start", "case.map"}, {"map", "case.map"}, {"out", "T:result"}, {"runs", "3"}, {"multi", "T"}}),
         {}},
        {"too many runs", "0\n0\nc.map\n20000\n1\n0\n0\n", false, with(kNo, {{"bad", "1"}}),
         {{kAskRuns, 2}, {kAskRuns + "\n" + kInvalid + "\n" + kAskRuns, 1}}},
        {"the most runs", "0\n0\nc.map\n10000\n0\n0\n", false, with(kNo, {{"runs", "10000"}, {"multi", "T"}}), {}},
        // The third invalid answer restarts the dialogue, dropping the plan.
        {"three invalid numbers of runs", "0\n1\n0.3\nsnp\nc.map\n0\n-4\nx\n0\n0\nc.map\n1\n0\n0\n", false,
         with(kNo, {{"bad", "3"}}), {{kInvalid, 3}, {kLastChance, 1}, {kInvalid + kLastChance + "\n" + kAsk301, 1}}},
        {"the fourth invalid answer ends the run", "x\nx\nx\nx\n", true, "",
         {{kAsk301, 4},
          {" **** NON-VALID RESPONSE ****", 4},
          {" **** PLEASE TRY AGAIN ****", 3},
          {"\n **** NON-VALID RESPONSE ****\n\n **** SORRY, MAXIMUM OF FOUR ATTEMPTS ALLOWED ****\n\n"
           "\n **** EXECUTION TERMINATING  ****\n\n" + abort_frame("OUTMSG"), 1}}},
        // A name cut to its field would open another, existing file.
        {"a map-file name too long, then one quoted with blanks", "0\n0\n" + kName35 + "\n'" + kName34 + "  '\n1\n0\n0\n",
         false, with(kNo, {{"start", kName34}, {"map", kName34}, {"bad", "1"}}),
         {{kAsk305 + kTooLong + kInvalid + "\n" + kAsk305, 1}}},
        {"snapshot and output names too long", "0\n1\n5\n" + kName35 + "\n5\nsnp\nc.map\n1\n1\n" + kName35 + "\n1\nres\n0\n",
         false, with(kNo, {{"out", "T:res"}, {"snap", "T:snp@5/1e+06"}, {"bad", "2"}}),
         {{kTooLong, 2},
          {" ENTER FILENAME FOR END OF RUN SNAPSHOT:\n" + kTooLong + kInvalid + "\n ENTER INCREMENTAL TIME", 1},
          {" ENTER OUTPUT FILE NAME:\n" + kTooLong + kInvalid + "\n IS OUTPUT FILE REQUIRED?", 1}}},
        // Names with nothing before their cut would write "_01.out" or a hidden ".snp".
        {"an unquoted ./runs/a, read as \".\", as the output name", "0\n0\nc.map\n1\n1\n./runs/a\n1\nres\n0\n", false,
         with(kNo, {{"out", "T:res"}, {"bad", "1"}}),
         {{" ENTER OUTPUT FILE NAME:\n" + kNoBase + kInvalid + "\n IS OUTPUT FILE REQUIRED?", 1}}},
        {"a folder alone as the output name, then the input ends", "0\n0\nc.map\n1\n1\n'runs/'\n", false,
         presets("c.map", "1"), {{kNoBase, 1}}},
        {"a suffix alone in a folder as the snapshot name", "0\n1\n5\n'runs/.x'\n5\nsnp\nc.map\n1\n0\n0\n", false,
         with(kNo, {{"snap", "T:snp@5/1e+06"}, {"bad", "1"}}),
         {{" ENTER FILENAME FOR END OF RUN SNAPSHOT:\n" + kNoBase + kInvalid + "\n ENTER INCREMENTAL TIME", 1}}},
        {"four names too long end the run", "0\n0\n" + kName35 + "\n" + kName35 + "\n" + kName35 + "\n0\n0\n" + kName35 + "\n",
         true, "",
         {{kTooLong, 4}, {kLastChance, 1}, {" **** SORRY, MAXIMUM OF FOUR ATTEMPTS ALLOWED ****", 1}}},
        {"snapshot name too long", "1\n0\n0\n1\n0\n0\n" + kName35 + "\nstart.snp\n", true,
         with(kNo, {{"mode", "SNAP"}, {"start", "start.snp"}, {"map", ""}, {"bad", "1"}}),
         {{" ENTER FILENAME TO PICK UP SNAPSHOT:\n" + kTooLong + kInvalid + "\n ENTER FILENAME TO PICK UP SNAPSHOT:", 1},
          {"ERROR: Abnormal termination of ZARIK by OPENFILE1", 1}}},
        // The missing snapshot ends the run in its check; all before it is in place.
        {"snapshot start", "1\n0\n2\n1\n1\n0\n0\n''\nstart.snp\n", true,
         with(kNo, {{"mode", "SNAP"}, {"start", "start.snp"}, {"map", ""}, {"relabel", "T"}, {"bad", "2"}}),
         {{"ENTER MAP FILE NAME", 0},
          {" DO YOU WANT TO RE-LABEL THE OUTPUT OF TIME TO START AT 0.0,", 2},
          {" ENTER FILENAME TO PICK UP SNAPSHOT:", 2},
          {"ERROR: Abnormal termination of ZARIK by OPENFILE1", 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Captured d = run(c.answers);
        EXPECT_EQ(d.aborted, c.aborted) << d.out;
        if (!c.settings.empty()) {
            EXPECT_EQ(run_settings(), c.settings);
        }
        for (const auto& [piece, n] : c.pieces) EXPECT_EQ(count_of(d.out, piece), n) << piece << "\n" << d.out;
    }
}

TEST(FixMapName, ReplacesTheFirstDataExtensionOnly) {
    const std::string n30(30, 'n');
    const struct {
        std::string typed, fixed, warned;
    } cases[] = {
        {"case.Dat", "case.Dat", ""},
        {"x.dat.dat", "x.map.dat", "x.dat"},  // the first match wins
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
