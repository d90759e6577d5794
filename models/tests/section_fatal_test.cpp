// Every stop of the "TRANSFORMERS:" section and its curve warnings,
// through the whole program: exact texts, the abort frame and status.
#include <string>
#include <vector>

#include "models/tests/xfmr_test_support.h"
#include "network/tests/map_test_support.h"

namespace {

struct Stop {
    const char* name;
    std::string sections;
    std::vector<std::string> lines;  // exact, from the first on
    const char* data_line = nullptr;  // a stop of the reader itself: the frame's last line; else a numbered message
};
void PrintTo(const Stop& c, std::ostream* os) { *os << c.name; }

const std::string kHead = "TRANSFORMERS:\n";
const std::string kCore = " 2 1 0\n 1 0 10 2e-5\n 2 0 1 2e-5\n";

std::string core(const std::string& rec1, const std::string& rec2, const std::string& rec3, const std::string& rec4) {
    return kHead + kCore + rec1 + "\n" + rec2 + "\n" + rec3 + "\n" + rec4 + "\n";
}

std::vector<std::string> invalid_line(int ss) {
    return {" **** INVALID DATA LINE ****", "      CHECK MUTUAL DATA IN SS    " + std::to_string(ss) + " .",
            "     ( DID YOU REMEMBER THE TERMINATING '/' AT THE END OF ALL DATA LINES? )",
            "     ( DID YOU PLACE A 'C' OR 'c' AT THE BEGINNING OF COMMENT CARDS? )",
            "     ( DID YOU PLACE AN 'O' WHERE A '0' SHOULD HAVE BEEN? )"};
}

const Stop kStops[] = {
    {"bad_header", kHead + " 2 x 0\n", invalid_line(0)},
    {"repeat_first", kHead + " 888 /\n 1 0\n", invalid_line(0)},
    {"no_windings", kHead + " 0 0 0\n", {" **** INVALID NUMBER OF TRANSFORMER WINDINGS IN SUBSYSTEM   0! ****"}},
    {"negative_other_form", kHead + " -2 3 0\n 1 0\n 2 0\n", invalid_line(0)},
    {"singular_l", kHead + " 2 0 0\n 1 0 0 0 /\n 2 0 0 0 0 0 /\n", invalid_line(1)},
    {"bad_winding", kHead + " 1 0 0\n 1 0 1.0 x\n", invalid_line(0)},
    {"too_many_windings", kHead + " 7 0 1\n 1 0\n",
     {" **** YOU HAVE OVER    6 PHASES IN A TRANSFORMER IN SUBSYSTEM   1! ****"}},
    {"too_many_transformers", kHead + " 1 0 1\n 1 0\n 888 /\n 2 0\n 888 /\n 3 0\n 888 /\n 4 0\n 888 /\n 5 0\n",
     {" **** YOU HAVE OVER    4 SETS OF MUTUALLY COUPLED BRANCHES! ****"}},
    {"same_nodes", kHead + " 1 0 1\n 2 2\n",
     {" **** WINDING NODE NUMBERS ARE NEGATIVE OR ARE BOTH 0 IN TRANSFORMER IN SUBSYSTEM #   1! ****"}},
    {"ground_only", kHead + " 1 0 1\n 0 0\n", {" SS for the Xfmr Nodes are not defined."}, " 0 0"},
    {"two_subsystems", kHead + " 1 0 1\n 1 7\n", {" Xfmr Nodes are in different SS:           1 :           2"},
     " 1 7"},
    {"windings_apart", kHead + " 2 0 1\n 1 0\n 7 0\n",
     {" Xfmr Nodes are in different SS:           1 :           2"}, " 7 0"},
    {"repeat_elsewhere", kHead + " 1 0 1\n 1 0\n 888 /\n 7 0\n",
     {" Xfmr Nodes are in different SS:           1 :           2"}, " 7 0"},
    {"abrupt", kHead + " 2 0 1\n 1 0\n", {"  Abrupt end of data in trafo section "}, "ENDCASE"},
    {"core_type", core(" 1 1 1 1 0 0 0", " 3e-3 0", " 0 0 /", " 0 5 6"),
     {" Invalid magnetic core data in trafo section. Trafo#           1", " Core type is not 0 to 5:           6"},
     " 0 5 6"},
    {"core_windings", core(" 1 1 1 1 0 0 0", " 3e-3 0", " 0 0 /", " 0 5 2"),
     {" Invalid magnetic core data in trafo section. Trafo#           1",
      " Windings do not match core type           2 :           2"},
     " 0 5 2"},
    {"core_branches", core(" 1 1 1 1 0 0 0", " 3e-3 0", " 0 0 /", " 0 24 3"),
     {" Invalid magnetic core data in trafo section. Trafo#           1",
      " Magnetic branch count is out of range:          24"},
     " 0 24 3"},
    {"core_length", core(" 1 0 1 1 0 0 0", " 3e-3 0", " 0 0 /", " 0 5 3"),
     {" Invalid magnetic core data in trafo section. Trafo#           1",
      " Core area or length           2 is not positive:   0.0000000000000000     "},
     " 0 5 3"},
    {"core_slope", core(" 1 1 1 1 0 0 0", " 0 0", " 0 0 /", " 0 5 3"),
     {" Invalid magnetic core data in trafo section. Trafo#           1",
      " Unsaturated slope is not positive:   0.0000000000000000     "},
     " 0 5 3"},
    {"core_turns", kHead + " 2 1 0\n 1 0 0 2e-5\n 2 0 1 2e-5\n 1 1 1 1 0 0 0\n 3e-3 0\n 0 0 /\n 0 5 3\n",
     {" Invalid magnetic core data in trafo section. Trafo#           1", " Turns of winding           1 are 0."},
     " 0 5 3"},
    // Limb 0.25, yoke 0.25 and leakage -0.5 at magnetic node 1: its pivot is
    // 0 and would be passed over.
    {"core_pivot", kHead + " 2 1 0\n 1 0 10 -0.5\n 2 0 1 2e-5\n 1 1 1 1 0 0 0\n 0.25 0\n 0 0 /\n 0 5 3\n",
     invalid_line(1)},
};

std::string name_of(const testing::TestParamInfo<Stop>& p) { return p.param.name; }

class SectionStop : public XfmrTest, public testing::WithParamInterface<Stop> {};

TEST_P(SectionStop, EndsTheRunWithItsText) {
    const Stop& s = GetParam();
    const ProgramResult r = run_sections(s.sections);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 208);
    std::string lines;
    for (const std::string& l : s.lines) lines += l + "\n";
    const size_t at = r.out.find(s.lines.front());
    ASSERT_NE(at, std::string::npos) << r.out;
    const std::string tail = r.out.substr(at);
    if (s.data_line) {
        EXPECT_EQ(tail, lines + abort_frame_of("DSMINT", 1, s.data_line, "page.map"));
    } else {
        EXPECT_EQ(tail.substr(0, lines.size()), lines);
        const std::string frame = abort_frame_of("OUTMSG", 0);
        EXPECT_EQ(tail.substr(tail.size() - std::min(tail.size(), frame.size())), frame);
    }
}

INSTANTIATE_TEST_SUITE_P(Transformers, SectionStop, testing::ValuesIn(kStops), name_of);

struct Warning {
    const char* name;
    std::string curve;
    std::vector<std::string> lines;
};
void PrintTo(const Warning& c, std::ostream* os) { *os << c.name; }

const Warning kWarnings[] = {
    {"no_data", " 0 0 /", {" ***WARN*** Saturation disabled in one transformer due to lack of data",
                           " WARNING: Transformer BH curve has no data",
                           " Saturation has been disabled. Trafo#           1"}},
    {"rising", " 1 1 2 3 /", {" ***WARN*** Some T/F B-H data points ignored due to being unrealistic",
                              " WARNING:Transformer BH curve has unrealistic", " data points. Trafo#           1",
                              " Some points were ignored."}},
    {"falling", " 1 1 2 0.5 /", {" ***WARN*** Some T/F B-H data points ignored due to being unrealistic",
                                 " WARNING:Transformer BH curve has unrealistic", " data points. Trafo#           1",
                                 " Some points were ignored."}},
    {"on_the_line", " 1 1 2 2 3 2.5 /", {}},
    {"ended_early", " 1 1 2 1.5 3 0 4 5 /", {}},
};

class CurveWarning : public XfmrTest, public testing::WithParamInterface<Warning> {};

TEST_P(CurveWarning, WarnsAndRuns) {
    const Warning& w = GetParam();
    const ProgramResult r = run_sections(core(" 1 1 1 1 0 0 0", " 3e-3 1", w.curve, " 0 5 3"));
    EXPECT_EQ(r.exit_code, 0) << r.out;
    std::string lines;
    for (const std::string& l : w.lines) lines += l + "\n";
    const std::string banner = " ****\n";
    const size_t at = r.out.rfind(banner);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(r.out.substr(at + banner.size(), lines.size()), lines) << r.out;
    // And no other warning.
    const auto warnings = [](const std::string& t) {
        size_t n = 0;
        for (size_t p = t.find("WARN"); p != std::string::npos; p = t.find("WARN", p + 1)) ++n;
        return n;
    };
    EXPECT_EQ(warnings(r.out), warnings(lines)) << r.out;
}

INSTANTIATE_TEST_SUITE_P(Transformers, CurveWarning, testing::ValuesIn(kWarnings),
                         [](const testing::TestParamInfo<Warning>& p) { return std::string(p.param.name); });

// The curve as the check leaves it.
TEST_F(XfmrTest, CurveCheckKeepsOnlyFallingSlopes) {
    read_sections(core(" 1 1 1 1 0 0 0", " 3e-3 1", " 0 0 1 1 2 2 3 2.5 /", " 0 5 3"));
    const XfmrTables& X = XFMR_TABLES;
    EXPECT_EQ(X.XF_SATON(1), 1);
    EXPECT_EQ(X.XF_CORE8(1), 1.0);
    const double want[][2] = {{1, 1}, {3, 2.5}, {0, 0}, {0, 0}};
    for (int32_t p = 1; p <= 4; ++p) {
        EXPECT_EQ(X.XF_BHX(p, 1), want[p - 1][0]) << p;
        EXPECT_EQ(X.XF_BHY(p, 1), want[p - 1][1]) << p;
    }
}

}  // namespace
