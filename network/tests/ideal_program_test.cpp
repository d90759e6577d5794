// Ideal branches read from a map file (letter A, and a source of letter E
// alone): solved in the run, and through the whole program; a source
// shorted by an ideal branch ends the program with its message.
#include <string>

#include "network/tests/solution_circuit.h"
#include "platform/tests/support/run_program.h"

namespace {

const std::string kProgram = std::string(ZARIK_BINARY_DIR) + "/zarik-bare";
const std::string kAnswers = "0\n0\n";  // a start from data, no snapshot

ProgramResult run_on(const std::string& map) {
    return run_program({kProgram, "-startup:alone"}, kAnswers + map + "\n1\n0\n0\n", fixture_dir(), 30000);
}

using IdealMap = SolutionTest;

// 100 V behind 1 ohm, the ideal branch, 4 ohm: 20 A, both nodes at 80 V.
TEST_F(IdealMap, IdealBranchOfTheMapIsSolved) {
    read_map("ideal_branch.map");
    EXPECT_TRUE(is_true(NET.IDEALSS(1)));
    start();
    const Captured c = capture([&] {
        for (int32_t n = 0; n < 5; ++n) EXPECT_TRUE(step());
    });
    EXPECT_EQ(c.out, " Subsystem           1  has ideal branches\n");
    EXPECT_DOUBLE_EQ(V(1), 80.0);
    EXPECT_DOUBLE_EQ(V(2), 80.0);
    EXPECT_DOUBLE_EQ(I(1), 20.0);
    EXPECT_DOUBLE_EQ(I(2), 20.0);
    EXPECT_DOUBLE_EQ(I(3), 20.0);
}

TEST(IdealProgram, RunsToItsEnd) {
    const ProgramResult r = run_on("ideal_branch.map");
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(r.out.find("ERROR"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" Subsystem           1  has ideal branches\n"), std::string::npos) << r.out;
}

TEST(IdealProgram, ShortedSourceEndsTheRun) {
    const ProgramResult r = run_on("ideal_shorted_source.map");
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 208);  // status 2000, low 8 bits
    EXPECT_NE(r.out.find(" Subsystem           1  has ideal branches\n"
                         " ***ERROR** Short circuited voltage source \n"
                         " ***ERROR** branch 1 of subsystem 1\n" +
                         abort_frame("SCTEST")),
              std::string::npos)
        << r.out;
}

}  // namespace
