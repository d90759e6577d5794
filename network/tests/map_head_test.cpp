// The head of a map file: the dimension block (margins, the pass over the
// map in a data start, shortfalls, WRITEDIM read back through RDDIM) and
// the "PARAMETERS:" section (print-step rounding, options, warnings, stops,
// WRITEPARM). Expected blocks were written by gfortran from the same formats.
#include <functional>
#include <string>
#include <vector>

#include "engine/run_state.h"
#include "engine/storage.h"
#include "network/dimensions.h"
#include "network/network_tables.h"
#include "network/parameters.h"
#include "network/tests/map_test_support.h"
#include "snapshot/snapshot.h"

namespace {

const std::string kClock = " TIME_STEP = 1.0\n PRINT_STEP = 1.0\n FINISH_TIME = 1.0\n";

class MapHead : public ReaderTest {
protected:
    // The head of READDATA: the dimensions and, when asked, the parameters.
    Captured read_dimensions(const std::string& file, bool parameters = false) {
        return capture([&] {
            INPUT.INPUT_UNIT = INPUT_UNIT_NONE;
            open_map(file);
            RDDIM();
            if (!parameters) return;
            CLEAR_STORAGE();
            RDPARM();
        });
    }
    Captured read_head(const std::string& file) { return read_dimensions(file, true); }
    // A case with two subsystems and the given parameter lines.
    Captured read_parameters(const std::string& lines, const char* mode = "DATA") {
        reset_all_engine_state();
        if (!scratch_) use_scratch();
        write_file("p.map", "DIMENSIONS:\n SUBSYS = 2\nPARAMETERS:\n" + lines + "BRANCHES:\nENDCASE\n");
        start(mode);
        return read_head("p.map");
    }
    static void expect_req(std::initializer_list<std::pair<int, int32_t>> req) {
        for (const auto& [k, v] : req) EXPECT_EQ(DIMBLOCK.REQ[k], v) << "ND" << k;
    }
};
using Dimensions = MapHead;
using Params = MapHead;

// The time step is taken on the way; the map file is open again as unit
// 50 after the "PARAMETERS:" line.
TEST_F(Dimensions, DataStartTakesTheMarginsAndWalksTheMap) {
    start("DATA");
    ASSERT_FALSE(read_dimensions("dims_case.map").aborted);
    // Sparsity (10*10 - 10)/2 + 1; no margin for STORL without a line.
    expect_req({{ND_NODES, 10}, {ND_SPARSITY, 46}, {ND_STOR, 10500}, {ND_STORF, 1020}, {ND_STORL, 0},
                {ND_RTCF, 1003}, {ND_STXFRC, 104}, {ND_UMEC, 5}});
    EXPECT_EQ((std::vector<int64_t>{DIMBLOCK.AVAIL[ND_UMEC], DIMBLOCK.AVAIL[ND_PGBS], STORAGE.STOR.size(),
                                    NET.VNODE.extent(1), NET.VNODE.extent(2)}),
              (std::vector<int64_t>{10, 30, 10500, 10, 2}));
    EXPECT_DOUBLE_EQ(RUN_CLOCK.DELT, 50.0e-6);
    EXPECT_EQ(INPUT.INPUT_UNIT, 50);
    EXPECT_EQ(INPUT.SECTION_KEY.trimmed(), "PARAMETERS:");
    RDCMNT();
    EXPECT_EQ(INPUT.DATA_LINE.trimmed(), " TIME_STEP = 50.0E-6");
}

// Warnings read on (in a snapshot start); errors stop before any storage.
TEST_F(Dimensions, SectionWarningsAndErrors) {
    use_scratch();
    const std::string bad_read = " Error while reading map file" + pad_text("x.map", 34) + "\n";
    const struct {
        const char* text;
        std::string expected;
        int dimension = 0;  // read on, with this value
        int32_t value = 0;
    } cases[] = {
        {"DIMENSIONS:\n NODEZ = 4\n NODES = 3\nPARAMETERS:\n",
         " ***WARN*** Unknown Dimension in map/snap file\n"
         " WARNING: Unknown dimension: " + pad_text("NODEZ", 72) + "\n"
         " or in-line data in map file: " + pad_text("x.map", 34) + "\n"
         " Continuing reading map file\n",
         ND_NODES, 3},
        // A snapshot head this short holds the records of one transformer at most.
        {"DIMENSIONS:\n TRAFOS = 1\n WINDINGS = 1\nPARAMETERS:\n",
         " ***WARN*** Detected inconsistency between the number of transformers\n"
         " ***WARN***  and the maximum number of windings per transformer. \n"
         " ***WARN*** The likely cause is an incorrect usage of the script directives\n"
         " ***WARN***  #TRANSFORMERS and #WINDINGS in custom models.\n",
         ND_TRAFOS, 1},
        {"PARAMETERS:\n", " First section in map/snap file must be DIMENSIONS:\n"},
        {"DIMENSIONS:\n NODES =\n", " Empty dimension for " + pad_text("NODES", 72) + "\n"},
        {"DIMENSIONS:\n NODES = -1\n", " Negative dimesion           -1  for " + pad_text("NODES", 72) + "\n"},
        {"DIMENSIONS:\n NODES = ten\n", bad_read},
        // Sizes that would not fit 32 bits once worked out.
        {"DIMENSIONS:\n STOR = 2147480000\n", bad_read},
        {"DIMENSIONS:\n NODES = 70000\n", bad_read},
        {"DIMENSIONS:\n NODES = 1\n", " End_Of_File while reading data file " + pad_text("x.map", 72) + "\n"},
        // The pass over the map file checks the time step.
        {"DIMENSIONS:\n NODES = 1\nPARAMETERS:\n TIME_STEP = 0.0\nENDCASE\n",
         " ERROR: Undefined, Zero or Negative time-step\n"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.text);
        reset_all_engine_state();
        write_file("x.map", k.text);
        start(k.dimension ? "SNAP" : "DATA");
        const Captured c = read_dimensions("x.map");
        EXPECT_EQ(c.aborted, k.dimension == 0);
        if (k.dimension) {
            EXPECT_EQ(c.out, k.expected);
            EXPECT_EQ(DIMBLOCK.REQ[k.dimension], k.value);
            continue;
        }
        EXPECT_EQ(c.out.substr(0, k.expected.size()), k.expected);
        EXPECT_TRUE(contains(c.out, "ERROR: Abnormal termination of ZARIK by RD")) << c.out;
        EXPECT_FALSE(STORAGE.created);
    }
}

// Two shortfalls: two message pairs and one '^' line.
TEST_F(Dimensions, ShortfallsOfALaterRunStopTheRun) {
    start("DATA");
    read_dimensions("dims_case.map");
    CLOSEFILE();
    start("DATA", 2);
    expect_stopped(read_dimensions("dims_bigger.map"),
                   " ERROR: Insufficient # of nodes (ND1):\n"
                   " Required:   12;   Available:   10\n"
                   " ERROR: Insufficient # of branches (ND15):\n"
                   " Required:    5;   Available:    4\n"
                   " ^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^\n"
                   " NDCHECK: Report this problem. \n" +
                       abort_frame_of("NDCHECK", 2, "PARAMETERS:", "dims_bigger.map"));
}

TEST_F(Dimensions, LaterRunKeepsTheLineSizesOfTheFirst) {
    start("DATA");
    read_dimensions("dims_case.map");
    CLOSEFILE();
    // As the first run's line pass would have found them.
    DIMBLOCK.REQ[ND_TLINES_TOTAL] = 3;
    DIMBLOCK.REQ[ND_MAXMODES] = 1;
    start("DATA", 2);
    ASSERT_FALSE(read_dimensions("dims_later.map").aborted);
    expect_req({{ND_TLINES_TOTAL, 3}, {ND_MAXMODES, 1}, {ND_TLINES, 0}, {ND_MAXINC_MFDTD, 1}, {ND_NODES, 8}});
}

TEST_F(Dimensions, WritedimReadsBackThroughRddim) {
    use_scratch();
    start("SNAP");
    DimensionBlock written;
    for (int k = 1; k <= NDIMS; ++k) written.REQ[k] = (k * 7) % 5;
    for (const auto& [k, v] : {std::pair{ND_NODES, 4}, {ND_WINDINGS, 2}, {ND_SPARSITY, 3}, {ND_UMEC, 6}, {ND_PGBS, 12}})
        written.REQ[k] = v;
    for (int k : {18, 39, 40, 50, 65, 66, 67, 68}) written.REQ[k] = 0;  // no keyword
    for (int k = 1; k <= NDIMS; ++k) written.AVAIL[k] = written.REQ[k] + 100;
    DIMBLOCK = written;
    ASSERT_TRUE(unit_open(70, "snap.snp", UnitMode::Write));
    WRITEDIM(70);
    unit_write_line(70, "PARAMETERS:");
    unit_close(70);
    const std::string head = "\n DIMENSIONS:                Used       Available\n"
                             " ! ELECTRICAL SYSTEM DIMENSIONS\n"
                             " NODES                 =       4             104\n";
    const std::string text = read_file("snap.snp");
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_EQ(count_of(text, "\n"), 62u + 6 + 4);  // keywords, group lines, header, ends, "PARAMETERS:"

    DIMBLOCK = {};
    ASSERT_FALSE(read_dimensions("snap.snp").aborted);
    EXPECT_EQ(INPUT.SECTION_KEY.trimmed(), "PARAMETERS:");
    // NODES takes the room the writer's arrays had, and keeps the nodes used.
    std::array<int32_t, NDIMS + 1> expected = written.REQ;
    expected[ND_NODES] = 104;
    EXPECT_EQ(DIMBLOCK.REQ, expected);
    EXPECT_EQ(DIMBLOCK.SNAP_NODES_USED, 4);
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_NODES], 104);
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_PGBS], 20);  // the storage's own sizes, not the column
}

// Lines that read without a stop: what they print and what they set.
TEST_F(Params, LinesWithTheirNoticesAndValues) {
    const std::string step50 = " TIME_STEP = 50.0E-6\n PRINT_STEP = ", finish = "\n FINISH_TIME = 1.0\n";
    const auto both = [](auto& table, auto value) {
        for (int s = 1; s <= 2; ++s) EXPECT_EQ(table(s), value) << s;
    };
    const struct {
        std::string lines, out;
        std::function<void()> check;
    } cases[] = {
        // The print step rounds to whole time steps, and is at least one.
        {step50 + "120.0E-6" + finish, "", [] { EXPECT_DOUBLE_EQ(RUN_CLOCK.PRINT_STEP, 100e-6); }},
        {step50 + "125.0E-6" + finish, "", [] { EXPECT_DOUBLE_EQ(RUN_CLOCK.PRINT_STEP, 150e-6); }},
        {step50 + "10.0E-6" + finish, " ***WARN*** Print-step should be at least time-step\n",
         [] { EXPECT_DOUBLE_EQ(RUN_CLOCK.PRINT_STEP, 50e-6); }},
        {kClock + " TITLE = Two words\n", "", [] { EXPECT_EQ(PARAMS.title.trimmed(), "Two"); }},
        {kClock + " TITLE =\n", "", [] { EXPECT_EQ(PARAMS.title.trimmed(), "***Blank_Title***"); }},
        // Presets hold without their keys; print step and finish time follow.
        {" TIME_STEP = 1.0\n",
         " ***WARN*** Print time has been adjusted to DELT\n"
         " WARNING: Print time has been adjusted to    1.0000000000000000     \n"
         " ***WARN*** Finish time has been adjusted to PrintTime\n"
         " WARNING: Finish time has been adjusted to    1.0000000000000000     \n",
         [&] {
             both(NET.SSINTERP, LTRUE), both(NET.SSDETCHAT, LTRUE), both(NET.SSCHATLEV, 0.001);
             both(NET.GIDEAL, 1.0e8), both(NET.SSMETHOD, 0);
             EXPECT_DOUBLE_EQ(RUN_CLOCK.FINTIM, 1.0);
         }},
        // Values out of range keep the presets.
        {kClock + " SHORT_CIRCUIT = 0.0\n CHATTER_LEVEL = -1\n", "",
         [&] { both(NET.GIDEAL, 1.0e8), both(NET.SSCHATLEV, 0.001); }},
        {kClock + " SHORT_CIRCUIT = 0.01\n CHATTER_LEVEL = 0.05\n", "",
         [&] { both(NET.GIDEAL, 100.0), both(NET.SSCHATLEV, 0.05); }},
        // Option words are matched exactly.
        {kClock + " INTERPOLATE = no\n", " Unknown option for INTERPOLATE: " + pad_text("no", 72) + "\n",
         [&] { both(NET.SSINTERP, LTRUE); }},
        {kClock + " INTERPOLATE = NO\n REMOVE_CHATTER = 'NO'\n DETECT_CHATTER = NO\n EXTRAPOLATE = NO\n"
                  " USE_SUBSYSDIM = YES\n",
         " Disabling network interpolation.\n Disabling chatter removal.\n Disabling chatter detection.\n"
         " Disabling source extrapolation.\n",
         [&] {
             both(NET.SSINTERP, LFALSE), both(NET.SSRMCHAT, LFALSE), both(NET.SSDETCHAT, LFALSE);
             both(NET.SSEXTRAP, LFALSE);
             EXPECT_EQ(PARAMS.USE_SUBSYSDIM, LTRUE);
         }},
        {kClock + " SOLUTION = TRAPEZOIDAL\n", " Solution Method: Trapezoidal Integration\n", nullptr},
        {kClock + " SOLUTION = 'ROOTMATCHING_1'\n",
         " ***WARN*** Unrecognized Solution Method, Defaulting to Trapezoidal\n"
         " ################## WARNING ##################\n"
         " Unrecognized Solution Method: ROOTMATCHING_1                \n"
         " Defaulting to trapezoidal integration method.\n"
         " #############################################\n",
         [&] { both(NET.SSMETHOD, 0); }},
        // An unknown key is warned and reading goes on.
        {kClock + " TIMESTEP = 2.0\n FINISH_TIME = 3.0\n",
         " ***WARN*** RDPARM: Unresolved parameter in Map/Snap file\n"
         " WARNING: RDPARM: Unresolved parameter: " + pad_text("TIMESTEP", 72) + "\n"
         " in data file: " + pad_text("p.map", 34) + "\n ... continuing reading data\n",
         [] { EXPECT_DOUBLE_EQ(RUN_CLOCK.FINTIM, 3.0); }},
        {kClock + " START_TIME = -1.0\n", " ***WARN*** WARNING!: Negative start time\n", nullptr},
        // Echo shows the later lines.
        {kClock + " ECHO_DATA = YES\n", " " + pad_text("BRANCHES:", 72) + "\n",
         [] { EXPECT_EQ(capture([] { RDCMNT(); }).out, " " + pad_text("ENDCASE", 72) + "\n"); }},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.lines);
        const Captured c = read_parameters(k.lines);
        EXPECT_FALSE(c.aborted);
        EXPECT_EQ(c.out, k.out);
        if (k.check) k.check();
    }
}

TEST_F(Params, NoticesOnlyInTheFirstRun) {
    use_scratch();
    write_file("p.map", "DIMENSIONS:\n SUBSYS = 1\nPARAMETERS:\n" + kClock + " INTERPOLATE = NO\nEND:\n");
    start("SNAP", 2);
    RUN_SEQ.FIRST_RUN = LFALSE;
    EXPECT_EQ(read_head("p.map").out, "");
    EXPECT_EQ(NET.SSINTERP(1), LFALSE);
}

TEST_F(Params, StopsOnBadValues) {
    const struct {
        const char* lines;
        const char* message;
        const char* line;
    } cases[] = {
        {" FINISH_TIME = 1.0\n", " WARNING: Using default time step of 50 usec.\n", "BRANCHES:"},
        {" TIME_STEP = -1.0\n", " ERROR: Undefined, Zero or Negative time-step\n", " TIME_STEP = -1.0"},
        {" TIME_STEP = 1.0\n FINISH_TIME = 0\n", " ERROR: Undefined, Zero or Negative finish time\n",
         " FINISH_TIME = 0"},
        {" TIME_STEP = 1.0\n SNAP_TIME = -2\n", " ERROR!: Negative snap time\n", " SNAP_TIME = -2"},
        {" TIME_STEP = 1.0\n SNAP_IIISNP = -2\n", " ERROR: Negative snap time\n", " SNAP_IIISNP = -2"},
        {" TIME_STEP = 1.0\n FINISH_TIME = soon\n", " Error while reading data from line:\n",
         " FINISH_TIME = soon"},
    };
    for (const auto& k : cases)
        expect_stopped(read_parameters(k.lines, "SNAP"), k.message + abort_frame_of("RDPARM", 1, k.line, "p.map"));
    // The section after the dimensions must be this one.
    reset_all_engine_state();
    write_file("p.map", "DIMENSIONS:\n NODES = 1\nBRANCHES:\n");
    start("SNAP");
    expect_stopped(read_head("p.map"), " Expecting section PARAMETERS: in map/snap file.\n"
                                       " Instead found section: " + pad_text("BRANCHES:", 72) + "\n" +
                                           abort_frame_of("RDPARM", 2, "BRANCHES:", "p.map"));
}

TEST_F(Params, PrintParametersEchoesTheBlock) {
    start("DATA");
    EXPECT_EQ(read_head("params_case.map").out,
              " Disabling network interpolation.\n\n PARAMETERS:\n"
              "  TITLE          = 'Test case                                         '\n"
              " VERSION        =   4.600000000000000     \n TIME_STEP      =  0.5000000000000000E-004\n"
              " PRINT_STEP     =  0.1000000000000000E-003\n SNAP_TIME      =   0.000000000000000     \n"
              "  SNAP_IIISNP    =            0\n SCREEN_PMAX    =   2.500000000000000     \n"
              " SCREEN_PMIN    =  -2.000000000000000     \n CHATTER_LEVEL  =  0.1000000000000000E-002\n"
              " SHORT_CIRCUIT  =  0.1000000000000000E-001\n  SOLUTION       = 'TRAPEZOIDAL'\n"
              "  DETECT_CHATTER = 'YES'\n  REMOVE_CHATTER = 'YES'\n  INTERPOLATE    = 'NO'\n"
              "  EXTRAPOLATE    = 'YES'\n  USE_SUBSYSDIM   = 'NO'\n END:\n\n");
}

// A snapshot's head restarts the run where it was.
TEST_F(Params, WrittenBlockReadsBack) {
    use_scratch();
    start("SNAP");
    write_file("head.snp", "DIMENSIONS:\n SUBSYS = 1\nPARAMETERS:\n TIME_STEP = 1.0\nEND:\n");
    read_head("head.snp");
    CLOSEFILE();
    const auto values = [] {
        return std::vector<double>{RUN_CLOCK.DELT, RUN_CLOCK.PRINT_STEP, RUN_CLOCK.TIME, PARAMS.SCREEN_PMIN,
                                   NET.GIDEAL(1),  NET.SSCHATLEV(1),     1.0 * NET.SSRMCHAT(1)};
    };
    PARAMS.title = "Round trip";
    RUN_CLOCK.DELT = 20e-6, RUN_CLOCK.PRINT_STEP = 60e-6, RUN_CLOCK.TIME = 0.125, RUN_CLOCK.NSTEP = 6250;
    PARAMS.SCREEN_PMIN = -1.5, NET.GIDEAL(1) = 1000.0, NET.SSCHATLEV(1) = 0.02, NET.SSRMCHAT(1) = LFALSE;
    SNAPSHOT_COUNTERS.on_request = LTRUE;
    const std::vector<double> written = values();
    ASSERT_TRUE(unit_open(70, "snap.snp", UnitMode::Write));
    WRITEDIM(70);
    WRITEPARM(70);
    unit_close(70);

    reset_all_engine_state();
    start("SNAP");
    ASSERT_FALSE(read_head("snap.snp").aborted);
    EXPECT_EQ(INPUT.SECTION_KEY.trimmed(), "END:");
    const std::vector<double> read = values();
    for (size_t k = 0; k < written.size(); ++k) EXPECT_DOUBLE_EQ(read[k], written[k]) << k;
    EXPECT_EQ(PARAMS.title.trimmed(), "Round trip");
    EXPECT_EQ(PARAMS.SNAP_IIISNP, 6249);  // taken on request: one step less
}

}  // namespace
