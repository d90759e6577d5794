// Numbers that are not finite, at the map file's doors and in the
// solution: a NaN or an infinity in a section is a bad record of that
// section; finite data that overflow stop the run in the first step whose
// solution is no longer finite. Each ends with its lines, the abort frame
// and the abort status, never with status 0.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "network/tests/map_test_support.h"
#include "network/tests/solution_circuit.h"
#include "platform/tests/support/run_program.h"

namespace {

struct Door {
    const char* fixture;
    const char* routine;
    std::vector<std::string> lines;
    const char* data_line = nullptr;  // mode 1: the last data line; none for mode 0
};

void PrintTo(const Door& d, std::ostream* os) { *os << d.fixture; }

std::string name_of(const testing::TestParamInfo<Door>& p) {
    std::string n = p.param.fixture;
    return n.substr(0, n.find('.'));
}

const char* const kBadData = " Error while reading data";

std::vector<std::string> invalid_line(const std::string& check, const std::string& line) {
    return {"",
            " **** ERROR IN READING OF DATA FILE!  ****",
            "",
            " **** INVALID DATA LINE ****",
            check,
            "     ( DID YOU REMEMBER THE TERMINATING '/' AT THE END OF ALL DATA LINES? )",
            "     ( DID YOU PLACE A 'C' OR 'c' AT THE BEGINNING OF COMMENT CARDS? )",
            "     ( DID YOU PLACE AN 'O' WHERE A '0' SHOULD HAVE BEEN? )",
            "",
            " **** THE OFFENDING LINE IN THE DATA FILE IS: ****",
            pad_text(line, 72),
            "",
            "",
            "",
            " **** EXECUTION TERMINATING  ****",
            ""};
}

std::vector<std::string> not_finite(const std::string& step, const std::string& time) {
    return {" ***ERROR** In subsystem 1 the solution is no longer finite:",
            " ***ERROR** stopped in step " + step + " at time " + time};
}

const Door kDoors[] = {
    {"nf_volts.map", "RDVOLTS", {kBadData}, " 1 NaN"},
    {"nf_stof.map", "RDSTOX", {kBadData}, " 1 -Inf"},
    {"nf_stoc.map", "RDSTOX", {kBadData}, " 2 (0.5,NaN)"},
    {"nf_cx.map", "RDCXMAPPING", {kBadData}, " 2 NaN"},
    {"nf_branch.map", "RDBRS", {" Branch            1  in SS            1", " has R, L, C, E or i values out of range."},
     " 1 0 RE 1.0 NaN"},
    {"nf_xfmr.map", "OUTMSG", invalid_line("      CHECK MUTUAL DATA IN SS    1 .", " 2 0  0.0 0.09 2.0 Infinity /")},
    // A line-constants file: the dimensioning pass meets the record first.
    {"nf_tline.map", "OUTMSG",
     invalid_line("      CHECK DISTRIBUTED TRANSMISSION LINE DATA. ", " 1 0 0 0 50.0 50.0 1.0 NaN 1e-9")},
    // An EMF of 1e308 behind 0.1 ohm injects more than a double holds.
    {"nf_emf.map", "INCALCVI", not_finite("0", "0.000000000000000")},
    // A capacitor across a negative resistance: the voltage grows by 5/3
    // a step from 1 V.
    {"nf_grow.map", "INCALCVI", not_finite("1383", "0.6915000000000000E-01")},
};

class NonFiniteMap : public testing::TestWithParam<Door> {};

TEST_P(NonFiniteMap, StopsWithItsMessageAndTheAbortStatus) {
    const Door& d = GetParam();
    const ProgramResult r =
        run_program({bare_program(), "-startup:alone"}, "0\n0\n" + std::string(d.fixture) + "\n1\n0\n0\n",
                    fixture_dir(), 30000);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 208);  // status 2000, low 8 bits
    EXPECT_EQ(r.err, "");
    std::string expected;
    for (const std::string& l : d.lines) expected += l + "\n";
    expected += d.data_line ? abort_frame_of(d.routine, 1, d.data_line, "empty_page.map") : abort_frame_of(d.routine, 0);
    ASSERT_GE(r.out.size(), expected.size()) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - expected.size()), expected) << r.out;
}
INSTANTIATE_TEST_SUITE_P(Doors, NonFiniteMap, testing::ValuesIn(kDoors), name_of);

// The growing voltage of nf_grow.map, stepped here: every step before the
// stop leaves finite node voltages, and the step that stops is the first
// whose solution is not.
class OverflowingSolution : public SolutionTest {};

TEST_F(OverflowingSolution, StopsInItsFirstNonFiniteStep) {
    read_map("nf_grow.map");
    start();
    int32_t stopped_in = -1;
    std::vector<double> v;
    const Captured c = capture([&] {
        for (int32_t n = 0; n < 20000; ++n) {
            RUN_CLOCK.TIME = n * RUN_CLOCK.DELT;
            RUN_CLOCK.NSTEP = n;
            stopped_in = n;
            TIMESTEP();
            v.push_back(NET.VNODE(1, 1));
            ASSERT_TRUE(std::isfinite(v.back())) << n;
            RUN_FLAGS.FIRST_STEP_DATA = RUN_FLAGS.FIRST_STEP_RUN = LFALSE;
        }
        stopped_in = -1;
    });
    ASSERT_TRUE(c.aborted) << "no stop in 20,000 steps";
    EXPECT_EQ(c.status, 2000);
    ASSERT_EQ(stopped_in, 1383);
    ASSERT_EQ(v.size(), 1383u);
    // The voltage grows by 5/3 a step, and the capacitor's history current
    // is -(2C/dt + 1/R) v = -50 v: the one formed from the last voltage,
    // and only that one, goes beyond the largest double.
    EXPECT_NEAR(v[1382] / v[1381], 5.0 / 3.0, 1e-9);
    const double most = std::numeric_limits<double>::max();
    EXPECT_GT(50.0 * std::fabs(v[1382]), most);
    EXPECT_LT(50.0 * std::fabs(v[1381]), most);
    std::string expected;
    for (const std::string& l : not_finite("1383", "0.6915000000000000E-01")) expected += l + "\n";
    EXPECT_EQ(c.out, expected + abort_frame("INCALCVI"));
}

}  // namespace
