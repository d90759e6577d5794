// Every fatal message of the map-file reader, the branch reader and the
// node numbering: each fixture map stops the run with its own lines and
// the abort frame, and nothing else. Through the whole program, malformed
// maps end with the same lines and the abort status, never a crash or a
// hang.
#include <string>
#include <vector>

#include "network/tests/map_test_support.h"
#include "platform/tests/support/run_program.h"

namespace {

struct Fatal {
    const char* fixture;
    const char* routine;
    int mode;
    std::vector<std::string> lines;
    const char* data_line = nullptr;
    const char* data_file = nullptr;  // mode 1: the file named in the frame
    bool later_run = false;  // the first run's pass over the whole map would meet the end of the file first
};

const char* kPage = "empty_page.map";
const char* kEof = " Unexpected End_Of_File";

// The lines of the stop and the frame.
std::string expected(const Fatal& f) {
    std::string s;
    for (const std::string& l : f.lines) s += l + "\n";
    const std::string file = f.mode == 2 ? f.fixture : f.data_file ? f.data_file : "";
    return s + abort_frame_of(f.routine, f.mode, f.data_line ? f.data_line : "", file);
}

// The test list and failure reports show a case by its fixture.
void PrintTo(const Fatal& f, std::ostream* os) { *os << f.fixture; }

std::string name_of(const testing::TestParamInfo<Fatal>& p) {
    std::string n = p.param.fixture;
    return n.substr(0, n.find('.'));
}

class FatalMap : public MapTest, public testing::WithParamInterface<Fatal> {};

TEST_P(FatalMap, StopsWithItsMessageAndTheFrame) {
    const Fatal& f = GetParam();
    if (f.later_run) {
        ASSERT_FALSE(read_map("ok_head.map").aborted);
        RUN_SEQ.IRUN = 2;
        RUN_SEQ.NRUNS = 2;
    }
    expect_stopped(read_map(f.fixture), expected(f));
}

const Fatal kPages[] = {
    {"pages_cut.map", "NODELKUP", 2, {" Unexpected end of node mapping"}, "ENDCASE"},
    {"pages_subsystem.map", "NODELKUP", 2, {" Out of range subsystem #           3"}, " 3 2  1 2"},
    {"pages_negative.map", "NODELKUP", 2, {" Negative number of nodes:           -2"}, " 1 -2"},
    {"pages_bad_nodes.map", "NODELKUP", 2,
     {" Invalid node number:            5", " Invalid node number:           -1",
      " Errors occurred in PAGES section of map file"},
     " 1 3  2 5 -1"},
    {"pages_room.map", "NODELKUP", 2,
     {" ERROR: Insufficient # of NNODES (ND21):", " Required:   13;   Available:   12"},
     " 1 11  1 1 1 1 1 1 1 1 1 1 1"},
    {"pages_nss_count.map", "NODELKUP", 2, {" Out of range # of subsystems in map file           3"}, " 0 3  1 1"},
    {"pages_nss_entry.map", "NODELKUP", 2, {" Out of range subsystem # in map file           3"}, " 0 1  1 3"},
    {"pages_nss_distinct.map", "NODELKUP", 2, {" Incorrect subsystem count in map file           2"}, " 0 2  1 1"},
    {"pages_csc1.map", "NODELKUP", 2, {" Out of range CSC begin index           3"}, " 3 0"},
    {"pages_csc2.map", "NODELKUP", 2, {" Out of range CSC begin index           5"}, " 0 5"},
    {"pages_eof.map", "NODELKUP", 2, {kEof}, " 1 4  1 2", nullptr, true},
    {"pages_bad.map", "NODELKUP", 2, {" Error reading map file"}, " 1 x  1 2"},
    {"pages_bad_nss.map", "NODELKUP", 2, {" Error reading Subsystem information in map file"}, " 0 q"},
    {"pages_bad_csc.map", "NODELKUP", 2, {" Error reading CSC offsets in map file"}, " 0 z"},
};
INSTANTIATE_TEST_SUITE_P(Pages, FatalMap, testing::ValuesIn(kPages), name_of);

// The section readers share one read check: an end of file and a bad
// record are shown for each abort mode.
const Fatal kSmallSections[] = {
    {"ssdim_count.map", "READSSDIM", 2, {" Invalid number of subsystems specified:            3"}, " 3 1 1 1"},
    {"ssdim_size.map", "READSSDIM", 2,
     {" Subsystem dimension size is out of range:            5",
      " Subsystem dimension size is out of range:           -1",
      " Errors occurred in SUBSYSDIM section of map file"},
     " 2 5 -1"},
    {"ssdim_empty.map", "READSSDIM", 2, {" Unexpected end of subsystem mapping"}, "ENDCASE"},
    {"ssdim_eof.map", "READSSDIM", 2, {kEof}, " 2 4", nullptr, true},
    {"ssdim_bad.map", "READSSDIM", 2, {" Error reading SUBSYSDIM information in map file"}, " 2 4 four"},
    {"subs_count.map", "SETSUBS", 2, {" Invalid # of local subsystems:            3"}, " 3 1 2 3"},
    {"subs_entry.map", "SETSUBS", 2,
     {" Invalid local subsystem number:            3", " Errors occurred in SUBS section of map file"}, " 2 1 3"},
    {"subs_bad.map", "SETSUBS", 2, {" Error reading Subsystem information in map file"}, " 2 1 x"},
    {"radio_count.map", "SET_RADIO", 2, {" Invalid # of wireless radio links:            2"}, " 2 1 2"},
    {"radio_index.map", "SET_RADIO", 2,
     {" Invalid wireless radio link index:            4", " Invalid wireless radio link index:            0",
      " Errors occurred in RADIOLINKS section of mapfile"},
     " 2 4 0"},
    {"radio_empty.map", "SET_RADIO", 2, {" Unexpected end of radio link mapping"}, "ENDCASE"},
    {"radio_bad.map", "SET_RADIO", 2, {" Error reading radio link information in map file"}, " 2 1 y"},
    {"volts_bad.map", "RDVOLTS", 1, {" Error while reading data"}, " 1 abc", kPage},
    {"sto_stol.map", "RDSTOX", 0, {" STOL Dimension out of bounds in MAP file"}},
    {"sto_stoi.map", "RDSTOX", 0, {" STOI Dimension out of bounds in MAP file"}},
    {"sto_stof.map", "RDSTOX", 0, {" STOF Dimension out of bounds in MAP file"}},
    {"sto_stoc.map", "RDSTOX", 0, {" STOC Dimension out of bounds in MAP file"}},
    {"sto_eof.map", "RDSTOX", 1, {kEof}, " 1", "sto_eof.map", true},
    {"sto_bad.map", "RDSTOX", 1, {" Error while reading data"}, " 1 two", "sto_bad.map"},
    {"cx_index.map", "RDCXMAPPING", 0, {" CX Dimension out of bounds in MAP file"}},
    {"cx_slots.map", "RDCXMAPPING", 0, {" CXMAP Dimension out of bounds in MAP file"}},
    {"mpgbs_count.map", "RDMPGB", 0, {" MPGBS Dimension out of bounds in MAP file"}},
    {"pgblist_eof.map", "RDPGBLIST", 1, {kEof}, " first channel", "pgblist_eof.map", true},
    // A section's key where a label should be ends the labels as the end of the file does.
    {"pgblist_key.map", "RDPGBLIST", 1, {kEof}, "ENDCASE", "pgblist_key.map"},
    {"pgblist_empty.map", "RDPGBLIST", 1, {kEof}, "ENDCASE", "pgblist_empty.map"},
    {"dims_bound.map", "RDDIM", 1,
     {" ERROR: Dimension CONS = 16777217 is beyond its bound of 16777216",
      " Problems in dynamic allocation from data file"},
     "PARAMETERS:", "dims_bound.map"},
    {"endcase_nosubsys.map", "ENDCASE", 1,
     {" If you have electrical nodes you must have", " at least one subsystem."}, "ENDCASE",
     "endcase_nosubsys.map"},
    {"endcase_in_page.map", "ENDCASE", 1,
     {" Missplaced ENDCASE: keyword in data file", " Probably this should have been an ENDPAGE:"}, "ENDCASE",
     "endcase_page.map"},
    {"xfmr_abrupt.map", "DSMINT", 1, {"  Abrupt end of data in trafo section "}, "ENDCASE", kPage},
};
INSTANTIATE_TEST_SUITE_P(Sections, FatalMap, testing::ValuesIn(kSmallSections), name_of);

const Fatal kBranches[] = {
    {"br_nodes_bad.map", "RDBRS", 1, {" Error while reading branch data"}, " 1 x R 1.0", kPage},
    {"br_value_bad.map", "BRPARM", 1, {" Error while reading branch data"}, " 1 0 R 1.x", kPage},
    {"br_long_type.map", "BRPARM", 1, {" Error while reading branch data"},
     " 1 0 RRRRRRRRRRR 1 2 3 4 5 6 7 8 9 10 11", kPage},
    {"br_shorted.map", "RDBRS", 1, {" Branch is shorted."}, " 2 2 R 1.0", kPage},
    {"br_same_node.map", "RDBRS", 1, {" Branch is shorted."}, " 3 4 R 1.0", kPage},
    {"br_two_ss.map", "RDBRS", 1, {" Branch Nodes are in different SS:           1 :           2"}, " 1 3 R 1.0",
     kPage},
    {"br_too_many.map", "RDBRS", 1, {" Too many branches:           4 >           3"}, " 4 0 R 1.0", kPage},
    {"br_unknown.map", "BRPARM", 1, {" Error: Unknown branch type: X"}, " 1 0 RX 1.0", kPage},
    {"br_zero_c.map", "RDBRS", 1, {" Capacitor in Branch            2  in SS            1", " has a zero capacitance."},
     " 1 2 C 0.0", kPage},
    {"br_huge.map", "RDBRS", 1,
     {" Branch            1  in SS            1", " has R, L, C, E or i values out of range."}, " 1 0 R 1.0E400",
     kPage},
    {"br_before_ssdim.map", "RDBRS", 1, {" The SUBSYSDIM: section must come before the BRANCHES: section"},
     " 1 0 R 1.0", kPage},
    {"node_negative.map", "NODENUM", 1, {" Negative node number encountered"}, " -1 0 R 1.0", kPage},
    {"node_beyond_page.map", "NODENUM", 1, {" Invalid node number:            5"}, " 5 0 R 1.0", kPage},
    {"node_beyond_nd1.map", "ZARIK_NODE", 1, {" Branch node            5 =>           5 is >            4"},
     " 5 0 R 1.0", "node_beyond_nd1.map"},
    {"node_subsysdim.map", "ZARIK_NODE", 1, {" Branch node            3 =>           3 is >            2"},
     " 3 0 R 1.0", kPage},
    {"ss_zero.map", "CHECKSSN", 1,
     {" Zero subsystem # encountered", " Check for missmatch between map file and datafile"}, " 1 0 R 1.0",
     "ss_zero.map"},
};
INSTANTIATE_TEST_SUITE_P(Branches, FatalMap, testing::ValuesIn(kBranches), name_of);

// The console dialogue's answers: a start from data, no snapshot, the
// map file, one run, no output file, no screen plot.
std::string answers_for(const std::string& map) { return "0\n0\n" + map + "\n1\n0\n0\n"; }

ProgramResult run_on(const std::string& map, const std::string& dir = fixture_dir()) {
    return run_program({bare_program(), "-startup:alone"}, answers_for(map), dir, 30000);
}

// A truncated map, a missing section, a letter in a number field, a node
// beyond the declared sizes, a missing value, a number that is not finite.
std::vector<Fatal> program_cases() {
    std::vector<Fatal> cases{
        {"prog_truncated.map", "RDCMNT", 1,
         {" End_Of_File while reading data file " + pad_text("prog_truncated.map", 72)}, " 1 0 R", "prog_truncated.map"},
        {"prog_no_dimensions.map", "RDDIM", 2, {" First section in map/snap file must be DIMENSIONS:"}, " NODES = 4"},
        // More letters than values; parameters that are no finite number.
        {"br_value_missing.map", "BRPARM", 1, {" Error while reading branch data"}, " 1 0 RL 10.0", kPage},
        {"param_print_nan.map", "RDPARM", 1, {" ERROR: PRINT_STEP is not a finite number"}, " PRINT_STEP = NaN",
         "param_print_nan.map"},
        {"param_finish_inf.map", "RDPARM", 1, {" ERROR: FINISH_TIME is not a finite number"}, " FINISH_TIME = Inf",
         "param_finish_inf.map"},
        {"param_step_inf.map", "RDDIM", 1, {" ERROR: TIME_STEP is not a finite number"},
         " TIME_STEP = -Infinity", "param_step_inf.map"},
        // The end of the map file after a page is the map file's; files nest 20 deep.
        {"prog_no_endcase.map", "RDCMNT", 1,
         {" End_Of_File while reading data file " + pad_text("prog_no_endcase.map", 72)}, " 0 0",
         "prog_no_endcase.map"},
        {"prog_deep_pages.map", "OPENFILE", 0,
         {" ***WARN*** ZARIK: Files nested more than 20 deep; cannot open: deep_page.map"}},
        // A print step of more steps than a step number holds.
        {"print_step_beyond.map", "INITCOM", 0,
         {" ***ERROR** Duration of run is too long for the selected time step. ",
          " ***ERROR** Increase the solution time step or reduce the duration of run. "}},
    };
    for (const Fatal& f : kBranches)
        if (f.fixture == std::string("br_value_bad.map") || f.fixture == std::string("node_beyond_nd1.map"))
            cases.push_back(f);
    return cases;
}

class MalformedMap : public testing::TestWithParam<Fatal> {};

TEST_P(MalformedMap, EndsWithItsMessageAndTheAbortStatus) {
    const Fatal& f = GetParam();
    const ProgramResult r = run_on(f.fixture);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 208);  // status 2000, low 8 bits
    EXPECT_EQ(r.err, "");
    const size_t at = r.out.find(f.lines.front());
    EXPECT_EQ(at == std::string::npos ? std::string() : r.out.substr(at), expected(f)) << r.out;
}
INSTANTIATE_TEST_SUITE_P(Maps, MalformedMap, testing::ValuesIn(program_cases()), name_of);

}  // namespace
