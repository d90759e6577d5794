// The dialogue's snapshot "at the end of the run", through the whole program
// on the switched R-L example: it is taken at the run's last step, however
// the finish time comes; a planned snapshot that no step reaches is told
// before the run starts.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/tests/engine_test_support.h"

namespace {

const std::string kAtTheEnd = " Warning: Invalid snap time.\n Snap will be taken at the end of the run\n";

struct Example {
    Example(const std::string& finish_time) {
        const std::filesystem::path from = std::filesystem::path(ZARIK_SOURCE_DIR) / "examples" / "switched_rl";
        std::ifstream in(from / "switched_rl.map");
        std::stringstream map;
        map << in.rdbuf();
        std::string text = map.str();
        text.replace(text.find("FINISH_TIME = 0.02"), 18, "FINISH_TIME = " + finish_time);
        std::ofstream(dir.file("switched_rl.map")) << text;
        std::filesystem::copy_file(from / "page1.map", dir.file("page1.map"));
    }
    ProgramResult run(const std::string& answers) const {
        return run_program({bare_program(), "-startup:alone"}, answers, dir.path, 30000);
    }
    // The snapshot's own time, as its PARAMETERS: block gives it.
    std::string snap_time(const std::string& file) const {
        std::ifstream in(dir.file(file));
        for (std::string line; std::getline(in, line);)
            if (line.rfind(" SNAP_TIME      = ", 0) == 0) return line.substr(18);
        return "no snapshot";
    }
    TempDir dir;
};

std::string taken(const std::string& time, const std::string& file) {
    return "Snapshot: Time: " + time + "  File: " + pad_text(file, 34) + "\n";
}

struct AtTheEnd {
    const char* name;
    const char* answer;  // to "ENTER INCREMENTAL TIME TO FIRST SNAPSHOT:"
    const char* finish_time;
    const char* shown;   // the time as the console shows it
    const char* stored;  // and as the snapshot holds it
};
void PrintTo(const AtTheEnd& c, std::ostream* os) { *os << c.name; }

class DialogueSnapshotAtTheEnd : public testing::TestWithParam<AtTheEnd> {};

// The finish time comes from the map file, after the dialogue.
TEST_P(DialogueSnapshotAtTheEnd, IsTakenAtTheLastStep) {
    const AtTheEnd& c = GetParam();
    const Example ex(c.finish_time);
    const ProgramResult r = ex.run(std::string("0\n1\n") + c.answer + "\nsnapA\nswitched_rl.map\n1\n0\n0\n");
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(contains(r.out, kAtTheEnd)) << r.out;
    EXPECT_TRUE(contains(r.out, taken(c.shown, "snapA.snp"))) << r.out;
    EXPECT_FALSE(contains(r.out, "No snap will be taken"));
    EXPECT_EQ(ex.snap_time("snapA.snp"), c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DialogueSnapshotAtTheEnd,
    testing::Values(AtTheEnd{"MinusOneLongRun", "-1", "1.0", "  1.0000000    ", " 1.0000000000000000     "},
                    AtTheEnd{"ZeroShortRun", "0", "0.02", " 0.20000000E-01", "0.20000000000000000E-001"},
                    AtTheEnd{"NotANumber", "NaN", "1.0", "  1.0000000    ", " 1.0000000000000000     "}),
    [](const testing::TestParamInfo<AtTheEnd>& p) { return std::string(p.param.name); });

// A start from that snapshot ends at its time plus the new finish time.
TEST(DialogueSnapshotAtTheEndOfARestart, IsTakenAtTheSnapshotTimePlusTheAnswer) {
    const Example ex("1.0");
    ASSERT_EQ(ex.run("0\n1\n-1\nsnapA\nswitched_rl.map\n1\n0\n0\n").exit_code, 0);
    const ProgramResult r = ex.run("1\n1\n0\nrest\n0\n1\n0\n0\nsnapA.snp\n0.02\n");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(contains(r.out, kAtTheEnd + "\n ENTER FILENAME FOR END OF RUN SNAPSHOT:\n")) << r.out;
    EXPECT_TRUE(contains(r.out, taken("  1.0200000    ", "rest.snp"))) << r.out;
    EXPECT_EQ(ex.snap_time("rest.snp"), " 1.0200000000000000     ");
}

// A time beyond the finish time is told before the first step, and no
// snapshot follows; one within reach, and no snapshot, are not told.
TEST(DialoguePlannedSnapshot, BeyondTheFinishTimeIsTold) {
    const Example ex("0.02");
    ProgramResult r = ex.run("0\n1\n2.5\nsnapB\nswitched_rl.map\n1\n0\n0\n");
    EXPECT_EQ(r.exit_code, 0);
    const std::string told = " Warning: Snap time   2.5000000000000000      lies beyond the finish time"
                             "   2.0000000000000000E-002\n No snap will be taken\n";
    EXPECT_TRUE(contains(r.out, told + " => This run is  10% complete.\n")) << r.out;
    EXPECT_FALSE(std::filesystem::exists(ex.dir.file("snapB.snp")));

    for (const char* answers : {"0\n1\n0.01\nsnapC\nswitched_rl.map\n1\n0\n0\n", "0\n0\nswitched_rl.map\n1\n0\n0\n"}) {
        r = ex.run(answers);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_FALSE(contains(r.out, "No snap will be taken")) << r.out;
    }
    EXPECT_EQ(ex.snap_time("snapC.snp"), "0.10000000000000000E-001");
}

}  // namespace
