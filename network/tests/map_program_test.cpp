// The whole program on map files: the shipped example runs to its end,
// and malformed maps (a file cut short, a missing section, a letter in a
// number field, a node beyond the declared sizes) end with the system's
// own message, the abort frame and the abort status, never a crash or a
// hang.
#include <fstream>
#include <sstream>
#include <string>

#include "network/tests/map_test_support.h"
#include "platform/tests/support/run_program.h"

namespace {

const std::string kProgram = std::string(ZARIK_BINARY_DIR) + "/zarik-bare";

// The console dialogue's answers: a start from data, no snapshot, the
// map file, one run, no output file, no screen plot.
std::string answers_for(const std::string& map) { return "0\n0\n" + map + "\n1\n0\n0\n"; }

ProgramResult run_on(const std::string& map) {
    return run_program({kProgram, "-startup:alone"}, answers_for(map), fixture_dir(), 30000);
}

std::string tail_from(const std::string& out, const std::string& marker) {
    const size_t at = out.find(marker);
    return at == std::string::npos ? std::string() : out.substr(at);
}

TEST(MapProgram, TheExampleRunsToItsEnd) {
    const std::string dir = std::string(ZARIK_SOURCE_DIR) + "/examples/switched_rl";
    std::ifstream in(dir + "/answers.txt");
    std::stringstream answers;
    answers << in.rdbuf();
    ASSERT_EQ(answers.str(), answers_for("switched_rl.map"));
    const ProgramResult r = run_program({kProgram, "-startup:alone"}, answers.str(), dir, 30000);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.find("ERROR"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Number of Matrix Switchings in SS#   1 is:"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("         Input file: switched_rl.map"), std::string::npos) << r.out;
}

struct Malformed {
    const char* fixture;
    std::vector<std::string> lines;  // the message, then the frame from its first line
    const char* routine;
    int mode;
    const char* data_line;
    const char* file;
};

class MalformedMap : public testing::TestWithParam<Malformed> {};

TEST_P(MalformedMap, EndsWithItsMessageAndTheAbortStatus) {
    const Malformed& m = GetParam();
    const ProgramResult r = run_on(m.fixture);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 208);  // status 2000, low 8 bits
    EXPECT_EQ(r.err, "");
    const std::string want = joined_lines(m.lines) + abort_frame_of(m.routine, m.mode, m.data_line, m.file);
    EXPECT_EQ(tail_from(r.out, m.lines.front()), want) << r.out;
}

const Malformed kMalformed[] = {
    {"prog_truncated.map",
     {" End_Of_File while reading data file " + pad_text("prog_truncated.map", 72)},
     "RDCMNT", 1, " 1 0 R", "prog_truncated.map"},
    {"prog_no_dimensions.map", {" First section in map/snap file must be DIMENSIONS:"}, "RDDIM", 2, " NODES = 4",
     "prog_no_dimensions.map"},
    {"prog_no_parameters.map",
     {" End_Of_File while reading data file " + pad_text("prog_no_parameters.map", 72)},
     "RDCMNT", 1, "ENDCASE", "prog_no_parameters.map"},
    {"br_value_bad.map", {" Error while reading branch data"}, "BRPARM", 1, " 1 0 R 1.x", "empty_page.map"},
    {"pages_bad.map", {" Error reading map file"}, "NODELKUP", 2, " 1 x  1 2", "pages_bad.map"},
    {"pages_bad_nodes.map",
     {" Invalid node number:            5", " Invalid node number:           -1",
      " Errors occurred in PAGES section of map file"},
     "NODELKUP", 2, " 1 3  2 5 -1", "pages_bad_nodes.map"},
    {"node_beyond_nd1.map", {" Branch node            5 =>           5 is >            4"}, "ZARIK_NODE", 1,
     " 5 0 R 1.0", "node_beyond_nd1.map"},
    {"node_beyond_page.map", {" Invalid node number:            5"}, "NODENUM", 1, " 5 0 R 1.0", "empty_page.map"},
};

INSTANTIATE_TEST_SUITE_P(Maps, MalformedMap, testing::ValuesIn(kMalformed),
                         [](const testing::TestParamInfo<Malformed>& p) {
                             std::string n = p.param.fixture;
                             return n.substr(0, n.find('.'));
                         });

}  // namespace
