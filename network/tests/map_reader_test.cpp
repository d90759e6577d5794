// READDATA over whole map files: the shipped example, every small
// section, pages in both forms, sections in any order, stray lines, and a
// second run of a multiple run.
#include <unistd.h>

#include <complex>
#include <string>

#include "engine/pointer_block.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "lines/lines.h"
#include "network/dimensions.h"
#include "network/network_tables.h"
#include "network/node_numbering.h"
#include "network/parameters.h"
#include "network/tests/map_test_support.h"
#include "snapshot/run_output.h"

namespace {

class MapReader : public MapTest {
protected:
    void in_example_folder() {
        ASSERT_EQ(chdir((std::string(ZARIK_SOURCE_DIR) + "/examples/switched_rl").c_str()), 0);
    }
};

TEST_F(MapReader, TheExampleCase) {
    in_example_folder();
    const Captured c = read_map("switched_rl.map");
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(c.out, "");
    EXPECT_EQ(INPUT.INPUT_UNIT, 49);
    EXPECT_EQ(PARAMS.title.trimmed(), "Switched R-L load");
    EXPECT_DOUBLE_EQ(RUN_CLOCK.DELT, 50.0e-6);

    // The page's node map: its subsystem, a zero word, its two nodes.
    EXPECT_EQ(POINTER_BLOCK.NNODE, 4);
    EXPECT_EQ(STORAGE.NODE(1), 1);
    EXPECT_EQ(STORAGE.NODE(2), 0);
    EXPECT_EQ(STORAGE.NODE(3), 1);
    EXPECT_EQ(STORAGE.NODE(4), 2);
    EXPECT_EQ(MAP_PAGE.map_mode.view(), "OLD");
    EXPECT_EQ(MAP_PAGE.node_offset, 2);
    EXPECT_EQ(NET.NBUSES(1), 2);

    // Source, switch, load.
    EXPECT_EQ(NET.NBRANCHES(1), 3);
    EXPECT_EQ(NET.NSWITCH(1), 1);
    EXPECT_EQ(NET.SWLIST(1, 1), 2);
    EXPECT_EQ(NET.IEF(1, 1), 0);
    EXPECT_EQ(NET.IET(1, 1), 1);
    EXPECT_DOUBLE_EQ(NET.EBR(1, 1), 100.0);
    EXPECT_DOUBLE_EQ(NET.GEQ(3, 1), 1.0 / 2010.0);  // 10 ohms and 2 x 0.05 / 50e-6

    const SsView<double> gm = SSDESC_RA(1);
    const SsView<int8_t> pat = SSDESC_IA(1);
    EXPECT_DOUBLE_EQ(gm(1, 1), 100.0);
    EXPECT_DOUBLE_EQ(gm(2, 2), 1.0 / 2010.0);
    EXPECT_EQ(gm(1, 2), 0.0);  // the switch is not in the matrix
    EXPECT_EQ(gm(2, 1), 0.0);
    EXPECT_EQ(pat(1, 2), -1);
    EXPECT_EQ(pat(2, 1), -1);
    EXPECT_EQ(pat(1, 1), -1);
    EXPECT_EQ(pat(2, 2), -1);
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

    EXPECT_EQ(SOLUTION_ARRAYS.SSDIM(1), 3);
    EXPECT_EQ(SOLUTION_ARRAYS.SSDIM(2), 2);
    EXPECT_EQ(S.SUBS(1), 1);
    EXPECT_EQ(S.SUBS(2), 2);
    EXPECT_EQ(S.SUBS(3), 0);
    EXPECT_EQ(S.TXRX(1), 1);  // the second record is appended
    EXPECT_EQ(S.TXRX(2), 3);
    EXPECT_EQ(S.TXRX(3), 2);

    // Page 1 at offset 2, page 2 at offset 7, each after its subsystem
    // word and its zero word.
    const int32_t node[] = {1, 0, 1, 2, 3, 0, 0, 1, 2, 1};
    for (int k = 1; k <= 10; ++k) EXPECT_EQ(S.NODE(k), node[k - 1]) << k;
    EXPECT_EQ(POINTER_BLOCK.NNODE, 10);
    EXPECT_EQ(S.NODE_SUBSYS(1), 1);
    EXPECT_EQ(S.NODE_SUBSYS(2), 2);
    EXPECT_EQ(S.NODE_SUBSYS(3), 2);
    EXPECT_EQ(POINTER_BLOCK.NSUBS, 2);
    EXPECT_EQ(MAP_PAGE.map_mode.view(), "NEW");
    EXPECT_EQ(MAP_PAGE.node_offset, 7);
    EXPECT_EQ(MAP_PAGE.subsys_offset, 0);
    EXPECT_EQ(MAP_PAGE.csc_begin1, 2);
    EXPECT_EQ(MAP_PAGE.csc_begin2, 0);
    EXPECT_EQ(MAP_PAGE.page_nodes, 3);

    // Branches and node voltages of both pages.
    EXPECT_EQ(NET.NBRANCHES(1), 2);
    EXPECT_EQ(NET.NBRANCHES(2), 1);
    EXPECT_EQ(NET.NBUSES(1), 3);
    EXPECT_EQ(NET.NBUSES(2), 2);
    EXPECT_EQ(NET.IEF(1, 2), 2);  // local node 2 of page 2
    EXPECT_EQ(NET.IET(1, 2), 1);  // local node 3 of page 2
    EXPECT_DOUBLE_EQ(NET.VNODE(2, 1), 5.5);
    EXPECT_DOUBLE_EQ(NET.VNODE(1, 2), -1.25);
    EXPECT_EQ(NET.VNODE(1, 1), 0.0);

    EXPECT_EQ(S.STOL(1), LTRUE);
    EXPECT_EQ(S.STOI(2), -7);
    EXPECT_DOUBLE_EQ(S.STOF(1), 2.5);
    EXPECT_EQ(S.STOC(2), std::complex<double>(1.0, -3.0));
    EXPECT_DOUBLE_EQ(S.CX(3), 0.75);
    for (int k = 1; k <= 12; ++k) EXPECT_EQ(S.CXMAP(k), k) << k;

    // The last "MPGBS:" record replaces the first.
    EXPECT_EQ(RUN_OUTPUT.mpgbs_count, 2);
    EXPECT_EQ(S.MPGBS(1), 2);
    EXPECT_EQ(S.MPGBS(2), 1);
    EXPECT_EQ(S.PGBNAME(1).trimmed(), "Voltage at node 1");
    EXPECT_EQ(S.PGBNAME(2).trimmed(), "Current in branch 2");

    // Empty line and transformer sections pass.
    EXPECT_EQ(LINE_COUNTS.tline_sections, 1);
    EXPECT_EQ(LINE_COUNTS.global_tline_sections, 1);
}

TEST_F(MapReader, SectionsInAnotherOrderReadTheSame) {
    ASSERT_FALSE(read_map("ok_order_a.map").aborted);
    const StorageArrays a = STORAGE;
    const int32_t branches = NET.NBRANCHES(1);
    const double g12 = SSDESC_RA(1)(1, 2), g22 = SSDESC_RA(1)(2, 2);
    reset_engine();
    SetUp();
    ASSERT_FALSE(read_map("ok_order_b.map").aborted);
    EXPECT_EQ(NET.NBRANCHES(1), branches);
    EXPECT_EQ(branches, 2);
    EXPECT_DOUBLE_EQ(SSDESC_RA(1)(1, 2), g12);
    EXPECT_DOUBLE_EQ(SSDESC_RA(1)(2, 2), g22);
    EXPECT_DOUBLE_EQ(g12, 1.0 / 400.5);
    EXPECT_DOUBLE_EQ(g22, 0.4);
    for (int k = 1; k <= 4; ++k) EXPECT_EQ(STORAGE.NODE(k), a.NODE(k));
    EXPECT_EQ(STORAGE.SUBS(1), 1);
    EXPECT_DOUBLE_EQ(STORAGE.CX(2), -4.5);
    EXPECT_DOUBLE_EQ(STORAGE.STOF(2), 8.0);
    EXPECT_EQ(STORAGE.MPGBS(1), 2);
    EXPECT_EQ(STORAGE.MPGBS(2), 1);
    EXPECT_DOUBLE_EQ(a.CX(2), -4.5);
    EXPECT_DOUBLE_EQ(a.STOF(2), 8.0);
}

TEST_F(MapReader, AStrayLineAfterAPageIsPassedOver) {
    const Captured c = read_map("ok_stray.map");
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(c.out, "");
    EXPECT_EQ(NET.NBRANCHES(1), 1);
    EXPECT_EQ(INPUT.INPUT_UNIT, 49);
}

TEST_F(MapReader, OutputChannelNamesBlockByBlock) {
    Captured c = read_map("ok_pgblist.map");
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(STORAGE.PGBNAME(1).trimmed(), "third");
    EXPECT_EQ(STORAGE.PGBNAME(2).trimmed(), "fourth");
    EXPECT_EQ(STORAGE.PGBNAME(3).trimmed(), "PGB");
    reset_engine();
    SetUp();
    c = read_map("ok_pgblist_none.map");
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(STORAGE.PGBNAME(1).trimmed(), "PGB");
    EXPECT_EQ(INPUT.INPUT_UNIT, 49);
}

TEST_F(MapReader, ASecondRunReadsTheCaseAgain) {
    in_example_folder();
    ASSERT_FALSE(read_map("switched_rl.map").aborted);
    NET.GEQ(3, 1) = 7.0;
    RUN_SEQ.IRUN = 2;
    RUN_SEQ.NRUNS = 2;
    const Captured c = read_map("switched_rl.map");
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(NET.NBRANCHES(1), 3);  // counted from 1 again
    EXPECT_EQ(NET.NSWITCH(1), 1);
    EXPECT_DOUBLE_EQ(NET.GEQ(3, 1), 1.0 / 2010.0);
    EXPECT_DOUBLE_EQ(SSDESC_RA(1)(1, 1), 100.0);  // not twice
    EXPECT_EQ(INPUT.INPUT_UNIT, 49);
}

}  // namespace
