// READDATA over whole map files: the shipped example and a second run,
// every small section, pages in both forms, sections in any order, stray
// lines; page-local nodes to subsystems and subsystem nodes.
#include <complex>
#include <functional>
#include <string>
#include <vector>

#include "engine/pointer_block.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "lines/lines.h"
#include "network/dimensions.h"
#include "network/map_sections.h"
#include "network/network_tables.h"
#include "network/node_numbering.h"
#include "network/parameters.h"
#include "network/tests/map_test_support.h"
#include "snapshot/run_output.h"

namespace {

std::vector<int32_t> nodes(int32_t n) {
    std::vector<int32_t> v;
    for (int32_t k = 1; k <= n; ++k) v.push_back(STORAGE.NODE(k));
    return v;
}

using MapReader = MapTest;

// The page's node map: its subsystem, a zero word, its two nodes; source,
// switch and load. A second run reads the case again: the branches
// counted from 1, GM built once.
TEST_F(MapReader, TheExampleCaseAndASecondRun) {
    const ScopedChdir example(std::string(ZARIK_SOURCE_DIR) + "/examples/switched_rl");
    const Captured c = read_map("switched_rl.map");
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(c.out, "");
    EXPECT_EQ(POINTER_BLOCK.NNODE, 4);
    EXPECT_EQ(nodes(4), (std::vector<int32_t>{1, 0, 1, 2}));
    for (int run = 1; run <= 2; ++run) {
        EXPECT_EQ(INPUT.INPUT_UNIT, 49);
        EXPECT_EQ(NET.NBUSES(1), 2);
        EXPECT_EQ(NET.NBRANCHES(1), 3);
        EXPECT_EQ(NET.SWLIST(1, 1), 2);
        // The switch is not in the matrix, but in its pattern.
        const SsView<double> gm = SSDESC_RA(1);
        EXPECT_EQ((std::vector<double>{gm(1, 1), gm(1, 2), gm(2, 1), gm(2, 2)}),
                  (std::vector<double>{100.0, 0.0, 0.0, 1.0 / 2010.0}));  // 10 ohms and 2 x 0.05 / 50e-6
        const SsView<int8_t> pat = SSDESC_IA(1);
        EXPECT_EQ((std::vector<int8_t>{pat(1, 1), pat(1, 2), pat(2, 1), pat(2, 2)}), std::vector<int8_t>(4, -1));
        NET.GEQ(3, 1) = 7.0;
        RUN_SEQ.IRUN = RUN_SEQ.NRUNS = 2;
        if (run == 1) {
            ASSERT_FALSE(read_map("switched_rl.map").aborted);
        }
    }
}

TEST_F(MapReader, EverySmallSectionAndBothFormsOfAPage) {
    const Captured c = read_map("ok_sections.map");
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(c.out, " ***WARN*** RDVOLTS: Invalid node #\n"
                     " WARNING: RDVOLTS: Invalid node # on data line:\n"
                     " " + pad_text(" 0 1.0", 50) + "\n"
                     " in data file ok_page1.map...Data ignored\n"
                     " READDATA: Unknown data file section: " + pad_text("INCLUDE:", 72) + "\n"
                     " READDATA: Unknown data file section: " + pad_text("MISSPELT:", 72) + "\n");
    EXPECT_EQ(INPUT.INPUT_UNIT, 49);
    const StorageArrays& S = STORAGE;
    EXPECT_EQ(std::make_pair(SOLUTION_ARRAYS.SSDIM(1), SOLUTION_ARRAYS.SSDIM(2)), std::make_pair(3, 2));
    EXPECT_EQ((std::vector<int32_t>{S.SUBS(1), S.SUBS(2), S.SUBS(3)}), (std::vector<int32_t>{1, 2, 0}));
    // The second record is appended.
    EXPECT_EQ((std::vector<int32_t>{S.TXRX(1), S.TXRX(2), S.TXRX(3)}), (std::vector<int32_t>{1, 3, 2}));
    // Page 1 (old form) at offset 2, page 2 (new form) at offset 7, each
    // after its subsystem word and its zero word.
    EXPECT_EQ(nodes(10), (std::vector<int32_t>{1, 0, 1, 2, 3, 0, 0, 1, 2, 1}));
    EXPECT_EQ((std::vector<int32_t>{NET.NBRANCHES(1), NET.NBRANCHES(2), NET.NBUSES(1), NET.NBUSES(2)}),
              (std::vector<int32_t>{2, 1, 3, 2}));
    EXPECT_EQ((std::vector<double>{NET.VNODE(2, 1), NET.VNODE(1, 2), NET.VNODE(1, 1)}),
              (std::vector<double>{5.5, -1.25, 0.0}));
    EXPECT_EQ(S.STOL(1), LTRUE);
    EXPECT_EQ(S.STOI(2), -7);
    EXPECT_DOUBLE_EQ(S.STOF(1), 2.5);
    EXPECT_EQ(S.STOC(2), std::complex<double>(1.0, -3.0));
    EXPECT_DOUBLE_EQ(S.CX(3), 0.75);
    for (int k = 1; k <= 12; ++k) EXPECT_EQ(S.CXMAP(k), k) << k;
    // The entries filled: NODE to its last page, SUBS and CXMAP to the
    // highest entry any of their sections wrote.
    EXPECT_EQ((std::vector<int32_t>{MAP_READ.node_filled, MAP_READ.subs_filled, MAP_READ.cxmap_filled}),
              (std::vector<int32_t>{10, 3, 12}));
    // The last "MPGBS:" record replaces the first.
    EXPECT_EQ(RUN_OUTPUT.mpgbs_count, 2);
    EXPECT_EQ(std::make_pair(S.MPGBS(1), S.MPGBS(2)), std::make_pair(2, 1));
    EXPECT_EQ(S.PGBNAME(2).trimmed(), "Current in branch 2");
    // Empty line and transformer sections pass.
    EXPECT_EQ(std::make_pair(LINE_COUNTS.tline_sections, LINE_COUNTS.global_tline_sections), std::make_pair(1, 1));
}

TEST_F(MapReader, SectionsInAnotherOrderReadTheSame) {
    const auto state = [] {
        const StorageArrays& S = STORAGE;
        return std::vector<double>{1.0 * NET.NBRANCHES(1), SSDESC_RA(1)(1, 2), SSDESC_RA(1)(2, 2), 1.0 * S.NODE(3),
                                   1.0 * S.SUBS(1),        S.CX(2),            S.STOF(2),          1.0 * S.MPGBS(2)};
    };
    ASSERT_FALSE(read_map("ok_order_a.map").aborted);
    const std::vector<double> a = state();
    EXPECT_EQ(a, (std::vector<double>{2.0, 1.0 / 400.5, 0.4, 1.0, 1.0, -4.5, 8.0, 1.0}));
    reset_all_engine_state();
    SetUp();
    ASSERT_FALSE(read_map("ok_order_b.map").aborted);
    EXPECT_EQ(state(), a);
}

// A stray line after a page is passed over; output channel names block by
// block, or the preset name without any; a first name that begins with 'C'.
TEST_F(MapReader, StrayLinesAndOutputChannelNames) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"ok_stray.map", {}},
        {"ok_pgblist.map", {"third", "fourth", "PGB"}},
        {"ok_pgblist_none.map", {"PGB"}},
        {"pgblist_first_c.map", {"Current in the load", "Voltage at node 2"}}};
    for (const auto& [map, names] : cases) {
        reset_all_engine_state();
        SetUp();
        const Captured c = read_map(map);
        ASSERT_FALSE(c.aborted) << c.out;
        EXPECT_EQ(c.out, "") << map;
        for (size_t k = 0; k < names.size(); ++k) EXPECT_EQ(STORAGE.PGBNAME(k + 1).trimmed(), names[k]) << map;
        EXPECT_EQ(INPUT.INPUT_UNIT, 49);
        if (names.empty()) {
            EXPECT_EQ(NET.NBRANCHES(1), 1);
        }
    }
}

// Comment lines among the labels are passed over; a label that begins
// with 'C', holds a key or names a file, and a blank line, stay labels.
TEST_F(MapReader, CommentLinesAmongTheChannelLabels) {
    const Captured c = read_map("pgblist_comments.map");
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(c.out, "");
    const std::vector<std::string> names{"first", "Ctrl             second", "", "Graphs: fourth",
                                         "INCLUDE 'ok_page1.map'"};
    for (size_t k = 0; k < names.size(); ++k) EXPECT_EQ(STORAGE.PGBNAME(k + 1).trimmed(), names[k]) << k + 1;
    EXPECT_EQ(INPUT.INPUT_UNIT, 49);
}

using Numbering = MapTest;

// Without a page a node is its own number; a blank map file name means
// one subsystem.
TEST_F(Numbering, WithoutAPageANodeIsItsOwnNumber) {
    ASSERT_FALSE(read_map("ok_head.map").aborted);
    int32_t g = -1;
    EXPECT_EQ(NODENUM(0, 7), 7);
    ZARIK_NODE(0, 4, g);  // exactly the node limit
    EXPECT_EQ(g, 4);
    EXPECT_EQ(NET.NBUSES(1), 0);  // nothing raised without a page
    INPUT.MAP_FILE_NAME.blank();
    DIMBLOCK.NSUBSYS = 0;
    EXPECT_EQ(SSNUM(0, 5), 1);
    EXPECT_EQ(DIMBLOCK.NSUBSYS, 1);
}

// The last page read is in the new form at offset 7: local nodes 1, 2 and
// 3 are nodes 1, 2 and 1 of subsystems 1, 2 and 2. The old form takes the
// page's own subsystem word.
TEST_F(Numbering, PagesOfTheOldAndTheNewForm) {
    ASSERT_FALSE(read_map("ok_sections.map").aborted);
    EXPECT_EQ((std::vector<int32_t>{SSNUM(7, 1), SSNUM(7, 2), SSNUM(7, 3), NODENUM(7, 3)}),
              (std::vector<int32_t>{1, 2, 2, 1}));
    NET.NBUSES(2) = 0;
    int32_t g = -1;
    ZARIK_NODE(7, 2, g);
    ZARIK_NODE(7, 3, g);
    EXPECT_EQ(g, 1);
    EXPECT_EQ(NET.NBUSES(2), 2);  // the highest number stays
    MAP_PAGE.map_mode = "OLD";
    EXPECT_EQ(SSNUM(2, 3), 1);
}

// A local node beyond its page; subsystems beyond the case or below one.
TEST_F(Numbering, NodesAndSubsystemsOutOfRangeStop) {
    ASSERT_FALSE(read_map("ok_sections.map").aborted);
    const std::string beyond = " Invalid node number:            4\n";
    const struct {
        std::function<void()> call;
        std::string message;
        const char* routine;
    } cases[] = {
        {[] { NODENUM(7, 4); }, beyond, "NODENUM"},
        {[] { SSNUM(7, 4); }, beyond, "SSNUM"},
        {[] { CHECKSSN(3); },
         " Subsystem #            3  is > max. subsystems to be used\n"
         " Check for missmatches in mapfile and datafiles\n",
         "CHECKSSN"},
        {[] { CHECKSSN(-1); }, " Negative subsystem # encountered\n", "CHECKSSN"},
    };
    for (const auto& k : cases) {
        const Captured c = capture(k.call);
        EXPECT_TRUE(c.aborted) << k.routine;
        EXPECT_EQ(c.out, k.message + abort_frame_of(k.routine, 1, INPUT.DATA_LINE.str(),
                                                    std::string(INPUT.DATA_FILE_NAME.sub(1, 34))));
    }
    EXPECT_EQ(capture([] { CHECKSSN(2); }).out, "");
}

}  // namespace
