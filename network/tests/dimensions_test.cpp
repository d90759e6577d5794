// The dimension block: requirements and their margins, the pass over the
// whole map file in a data start, the shortfall report, and the section
// that WRITEDIM writes reading back through RDDIM.
#include <string>

#include "engine/run_state.h"
#include "engine/storage.h"
#include "network/dimensions.h"
#include "network/network_tables.h"
#include "network/parameters.h"
#include "network/tests/reader_test_support.h"

namespace {

class Dimensions : public ReaderTest {
protected:
    void start(const char* mode, int32_t run) {
        RUN_SEQ.START_MODE = mode;
        RUN_SEQ.IRUN = run;
        RUN_SEQ.FIRST_RUN = LTRUE;
        RUN_CLOCK.DELT = RUN_CLOCK.PRINT_STEP = RUN_CLOCK.FINTIM = -1.0;
    }
    // The head of READDATA: the map file, its dimensions and the clearing.
    void read_dimensions(const std::string& file) {
        INPUT.INPUT_UNIT = INPUT_UNIT_NONE;
        open_map(file);
        RDDIM();
    }
    Captured read_dimensions_captured(const std::string& file) {
        return capture([&] { read_dimensions(file); });
    }
};

TEST_F(Dimensions, RequirementsWithTheirMarginsInADataStart) {
    start("DATA", 1);
    read_dimensions("dims_case.map");
    const auto& req = DIMBLOCK.REQ;
    EXPECT_EQ(req[ND_NODES], 10);
    EXPECT_EQ(req[ND_SPARSITY], 46);  // (10*10 - 10)/2 + 1
    EXPECT_EQ(req[ND_STOR], 10500);
    EXPECT_EQ(req[ND_STORF], 1020);
    EXPECT_EQ(req[ND_STORL], 0);      // the margin comes with the line
    EXPECT_EQ(req[ND_RTCF], 1003);
    EXPECT_EQ(req[ND_STXFRC], 104);
    EXPECT_EQ(req[ND_UMEC], 5);       // preset, no line
    EXPECT_EQ(DIMBLOCK.NSUBSYS, 2);
    EXPECT_EQ(DIMBLOCK.NPGBS, 25);
    // Available sizes and the storage made from them.
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_UMEC], 10);
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_PGBS], 30);
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_CX], 1);
    EXPECT_EQ(STORAGE.STOR.size(), 10500);
    EXPECT_EQ(NET.VNODE.extent(1), 10);
    EXPECT_EQ(NET.VNODE.extent(2), 2);
    EXPECT_EQ(DIMBLOCK.SNAP_AVAIL[1], 10);
    EXPECT_EQ(DIMBLOCK.SNAP_AVAIL[2], 2);
}

TEST_F(Dimensions, DataStartWalksTheMapAndComesBackToParameters) {
    start("DATA", 1);
    read_dimensions("dims_case.map");
    // The time step was taken on the way; the map file is open again as
    // unit 50, positioned after the "PARAMETERS:" line.
    EXPECT_DOUBLE_EQ(RUN_CLOCK.DELT, 50.0e-6);
    EXPECT_EQ(INPUT.INPUT_UNIT, 50);
    EXPECT_EQ(INPUT.SECTION_KEY.trimmed(), "PARAMETERS:");
    EXPECT_EQ(INPUT.DATA_FILE_NAME.trimmed(), "dims_case.map");
    RDCMNT();
    EXPECT_EQ(INPUT.DATA_LINE.trimmed(), " TIME_STEP = 50.0E-6");
    CLEAR_STORAGE();
    RDPARM();
    EXPECT_EQ(INPUT.SECTION_KEY.trimmed(), "MAP:");
    EXPECT_DOUBLE_EQ(RUN_CLOCK.FINTIM, 0.01);
}

TEST_F(Dimensions, SnapshotStartTakesTheSizesAsWritten) {
    start("SNAP", 1);
    read_dimensions("dims_case.map");
    EXPECT_EQ(DIMBLOCK.REQ[ND_STOR], 500);
    EXPECT_EQ(DIMBLOCK.REQ[ND_STORF], 20);
    EXPECT_EQ(DIMBLOCK.REQ[ND_RTCF], 3);
    EXPECT_EQ(DIMBLOCK.REQ[ND_STXFRC], 4);
    // No walk over the map file: the next key follows the section.
    EXPECT_EQ(INPUT.SECTION_KEY.trimmed(), "PARAMETERS:");
    EXPECT_DOUBLE_EQ(RUN_CLOCK.DELT, -1.0);
    EXPECT_EQ(STORAGE.DX_ARRAY.size(), 1);
}

TEST_F(Dimensions, SparsityLineOverridesTheDerivedValue) {
    use_scratch();
    write_file("s.map", "DIMENSIONS:\n NODES = 10\n SPARSITY = 7\nPARAMETERS:\n");
    start("SNAP", 1);
    read_dimensions("s.map");
    EXPECT_EQ(DIMBLOCK.REQ[ND_SPARSITY], 7);
}

TEST_F(Dimensions, TwoShortfallsPrintTwoPairsAndOneCaretLine) {
    start("DATA", 1);
    read_dimensions("dims_case.map");
    CLOSEFILE();
    start("DATA", 2);
    const Captured c = read_dimensions_captured("dims_bigger.map");
    EXPECT_TRUE(c.aborted);
    const std::string expected =
        " ERROR: Insufficient # of nodes (ND1):\n"
        " Required:   12;   Available:   10\n"
        " ERROR: Insufficient # of branches (ND15):\n"
        " Required:    5;   Available:    4\n"
        " ^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^\n"
        " NDCHECK: Report this problem. \n"
        " =========================================================\n"
        " Following is the last read data line:\n"
        " " + pad_text("PARAMETERS:", 72) + "\n"
        " Map/snap file name: " + pad_text("dims_bigger.map", 34) + "\n"
        " ERROR: Abnormal termination of ZARIK by NDCHECK     \n"
        " =========================================================\n"
        " \n";
    EXPECT_EQ(c.out, expected);
}

TEST_F(Dimensions, WiderSecondRunLineStopsOnTheTwoLineMessage) {
    DIMBLOCK.REQ[38] = 3;
    DIMBLOCK.AVAIL[38] = 1;
    const Captured c = capture([] { NDCHECK(); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out.substr(0, c.out.find(" ^")),
              " ERROR: Insufficient wireless\n"
              "        transmitters and receivers (ND38):\n"
              " Required:    3;   Available:    1\n");
}

TEST_F(Dimensions, LaterRunKeepsTheLineSizesOfTheFirst) {
    start("DATA", 1);
    read_dimensions("dims_case.map");
    CLOSEFILE();
    // As the first run's line pass would have found them.
    DIMBLOCK.REQ[ND_TLINES_TOTAL] = 3;
    DIMBLOCK.REQ[ND_MAXMODES] = 1;
    start("DATA", 2);
    const Captured c = read_dimensions_captured("dims_later.map");
    EXPECT_FALSE(c.aborted) << c.out;
    // The section's own values for these sizes give way to the first run's.
    EXPECT_EQ(DIMBLOCK.REQ[ND_TLINES_TOTAL], 3);
    EXPECT_EQ(DIMBLOCK.REQ[ND_MAXMODES], 1);
    EXPECT_EQ(DIMBLOCK.REQ[ND_TLINES], 0);
    EXPECT_EQ(DIMBLOCK.REQ[ND_MAXINC_MFDTD], 1);  // not a kept size
    EXPECT_EQ(DIMBLOCK.REQ[ND_NODES], 8);
}

TEST_F(Dimensions, SectionErrorsStopTheRun) {
    use_scratch();
    struct Case {
        const char* text;
        std::string expected;
    } cases[] = {
        {"PARAMETERS:\n", " First section in map/snap file must be DIMENSIONS:\n"},
        {"DIMENSIONS:\n NODES =\n", " Empty dimension for " + pad_text("NODES", 72) + "\n"},
        {"DIMENSIONS:\n NODES = -1\n", " Negative dimesion           -1  for " + pad_text("NODES", 72) + "\n"},
        {"DIMENSIONS:\n NODES = ten\n", " Error while reading map file" + pad_text("x.map", 34) + "\n"},
        {"DIMENSIONS:\n NODES = 99999999999\n", " Error while reading map file" + pad_text("x.map", 34) + "\n"},
        // Sizes that do not fit 32 bits once worked out.
        {"DIMENSIONS:\n STOR = 2147480000\n", " Error while reading map file" + pad_text("x.map", 34) + "\n"},
        {"DIMENSIONS:\n NODES = 70000\n", " Error while reading map file" + pad_text("x.map", 34) + "\n"},
        {"DIMENSIONS:\n NODES = 1\n", " End_Of_File while reading data file " + pad_text("x.map", 72) + "\n"},
    };
    for (const Case& k : cases) {
        reset_engine();
        write_file("x.map", k.text);
        start("DATA", 1);
        const Captured c = read_dimensions_captured("x.map");
        EXPECT_TRUE(c.aborted) << k.text;
        EXPECT_EQ(c.out.substr(0, k.expected.size()), k.expected) << k.text;
        EXPECT_NE(c.out.find("ERROR: Abnormal termination of ZARIK by RD"), std::string::npos) << c.out;
        EXPECT_FALSE(STORAGE.created);
    }
}

TEST_F(Dimensions, UnknownKeywordIsWarnedAndSkipped) {
    use_scratch();
    write_file("u.map", "DIMENSIONS:\n NODEZ = 4\n NODES = 3\nPARAMETERS:\n");
    INPUT.MAP_FILE_NAME = "u.map";
    start("SNAP", 1);
    const Captured c = read_dimensions_captured("u.map");
    EXPECT_FALSE(c.aborted);
    EXPECT_EQ(c.out,
              " ***WARN*** Unknown Dimension in map/snap file\n"
              " WARNING: Unknown dimension: " + pad_text("NODEZ", 72) + "\n"
              " or in-line data in map file: " + pad_text("u.map", 34) + "\n"
              " Continuing reading map file\n");
    EXPECT_EQ(DIMBLOCK.REQ[ND_NODES], 3);
}

TEST_F(Dimensions, TransformersWithoutTwoWindingsAreWarned) {
    use_scratch();
    write_file("t.map", "DIMENSIONS:\n TRAFOS = 2\n WINDINGS = 1\nPARAMETERS:\n");
    start("SNAP", 1);
    const Captured c = read_dimensions_captured("t.map");
    EXPECT_FALSE(c.aborted);
    EXPECT_EQ(c.out,
              " ***WARN*** Detected inconsistency between the number of transformers\n"
              " ***WARN***  and the maximum number of windings per transformer. \n"
              " ***WARN*** The likely cause is an incorrect usage of the script directives\n"
              " ***WARN***  #TRANSFORMERS and #WINDINGS in custom models.\n");
}

TEST_F(Dimensions, PrescanRejectsANonPositiveTimeStep) {
    use_scratch();
    write_file("d.map", "DIMENSIONS:\n NODES = 1\nPARAMETERS:\n TIME_STEP = 0.0\nENDCASE\n");
    start("DATA", 1);
    const Captured c = read_dimensions_captured("d.map");
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out.rfind(" ERROR: Undefined, Zero or Negative time-step\n", 0), 0u) << c.out;
    EXPECT_NE(c.out.find("ERROR: Abnormal termination of ZARIK by RDDIM"), std::string::npos);
}

TEST_F(Dimensions, WritedimLayout) {
    DIMBLOCK.REQ[ND_NODES] = 10;
    DIMBLOCK.AVAIL[ND_NODES] = 12;
    DIMBLOCK.REQ[ND_CSCR] = 123456789;
    DIMBLOCK.AVAIL[ND_CSCR] = 7;
    const Captured c = capture([] { WRITEDIM(UNIT_CONSOLE_OUT); });
    const std::string head =
        "\n"
        " DIMENSIONS:                Used       Available\n"
        " ! ELECTRICAL SYSTEM DIMENSIONS\n"
        " NODES                 =      10              12\n"
        " SUBSYS                =       0               0\n";
    EXPECT_EQ(c.out.substr(0, head.size()), head);
    const std::string tail =
        " ! ENI TLINE DIMENSIONS\n"
        " ENI-SERVERS           =       0               0\n"
        " ENI-CLIENTS           =       0               0\n"
        " CSCS                  =       0               0\n"
        " CSCR                  =********               7\n"
        "  \n";
    ASSERT_GE(c.out.size(), tail.size());
    EXPECT_EQ(c.out.substr(c.out.size() - tail.size()), tail);
    // 62 keyword lines, 6 group lines, the header and the two ends.
    EXPECT_EQ(std::count(c.out.begin(), c.out.end(), '\n'), 62 + 6 + 3);
}

TEST_F(Dimensions, WritedimReadsBackThroughRddim) {
    use_scratch();
    // A first run's block, as the storage check leaves it.
    start("SNAP", 1);
    DimensionBlock written;
    for (int k = 1; k <= NDIMS; ++k) written.REQ[k] = (k * 7) % 5;
    written.REQ[ND_NODES] = 4;
    written.REQ[ND_WINDINGS] = 2;
    written.REQ[ND_SPARSITY] = 3;
    written.REQ[ND_UMEC] = 6;
    written.REQ[ND_PGBS] = 12;
    for (int k : {18, 39, 40, 50, 65, 66, 67, 68}) written.REQ[k] = 0;  // no keyword
    for (int k = 1; k <= NDIMS; ++k) written.AVAIL[k] = written.REQ[k] + 100;
    DIMBLOCK = written;
    ASSERT_TRUE(unit_open(70, "snap.snp", UnitMode::Write));
    WRITEDIM(70);
    unit_write_line(70, "PARAMETERS:");
    unit_close(70);

    DIMBLOCK = {};
    read_dimensions("snap.snp");
    EXPECT_EQ(INPUT.SECTION_KEY.trimmed(), "PARAMETERS:");
    EXPECT_EQ(DIMBLOCK.REQ, written.REQ);
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_PGBS], 20);  // the storage's own sizes, not the column
}

}  // namespace
