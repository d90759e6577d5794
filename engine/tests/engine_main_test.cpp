// The engine main program through the whole program: the loop over runs,
// its per-run lines and the end of the simulation.
#include <gtest/gtest.h>

#include <string>

#include "platform/tests/support/run_program.h"

namespace {

const std::string kBare = std::string(ZARIK_BINARY_DIR) + "/zarik-bare";
const std::string kExample = std::string(ZARIK_SOURCE_DIR) + "/examples/switched_rl";

// Dialogue answers: data start, no snapshot, the example map, the number
// of runs, no output file, no screen plot.
std::string answers(int runs) { return "0\n0\nswitched_rl.map\n" + std::to_string(runs) + "\n0\n0\n"; }

size_t count_of(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

TEST(EngineMain, SingleRunPrintsNoRunLines) {
    const ProgramResult r = run_program({kBare, "-startup:alone"}, answers(1), kExample);
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(r.out.find("=> ZARIK Run #"), std::string::npos);
    EXPECT_EQ(r.out.find("=> Completed run #"), std::string::npos);
    EXPECT_NE(r.out.find(" * ZARIK for HOLVA 4.6: Build# "), std::string::npos);
    // The triangularisation report of the last run, once per subsystem.
    EXPECT_EQ(count_of(r.out, "Number of Matrix Switchings in SS#"), 1u);
    EXPECT_NE(r.out.find("         Input file: switched_rl.map"), std::string::npos);
}

TEST(EngineMain, MultipleRunPrintsItsRunLines) {
    const ProgramResult r = run_program({kBare, "-startup:alone"}, answers(3), kExample);
    ASSERT_EQ(r.exit_code, 0) << r.out;
    for (int k = 1; k <= 3; ++k) {
        const std::string n = "     " + std::to_string(k);  // the blank, then I5
        EXPECT_NE(r.out.find("=> ZARIK Run #" + n + " of     3 Started...\n"), std::string::npos) << k;
        EXPECT_NE(r.out.find("=> Completed run #" + n + " of     3\n"), std::string::npos) << k;
    }
    EXPECT_LT(r.out.find("=> Completed run #     1"), r.out.find("=> ZARIK Run #     2"));
    // Reported after the last run only.
    EXPECT_EQ(count_of(r.out, "Number of Matrix Switchings in SS#"), 1u);
    EXPECT_GT(r.out.find("Number of Matrix Switchings"), r.out.find("=> Completed run #     3"));
}

TEST(EngineMain, StandaloneAbortFrameAndStatus) {
    const std::string dir = make_temp_dir();
    const ProgramResult r = run_program({kBare, "-v4", "-startup:alone"}, answers(1), dir);
    // The map file is not in this folder: the dialogue asks four times.
    EXPECT_EQ(r.exit_code, 208);
    const std::string rule = " " + std::string(57, '=') + "\n";
    EXPECT_NE(r.out.find(rule + " ERROR: Abnormal termination of ZARIK by OUTMSG      \n" + rule + " \n"),
              std::string::npos)
        << r.out;
    const std::string last = kBare + " exiting.  Status code = 2000\n";
    ASSERT_GE(r.out.size(), last.size());
    EXPECT_EQ(r.out.substr(r.out.size() - last.size()), last);
    rmdir(dir.c_str());
}

}  // namespace
