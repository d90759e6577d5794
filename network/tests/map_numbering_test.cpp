// Page-local nodes to subsystems and subsystem nodes: without a page, on
// a page of either form, at the node limit, and the subsystem checks that
// no map page can reach.
#include <string>

#include "engine/storage.h"
#include "network/dimensions.h"
#include "network/network_tables.h"
#include "network/node_numbering.h"
#include "network/tests/map_test_support.h"

namespace {

class Numbering : public MapTest {
protected:
    // The frame of a mode-1 stop at the present line and file.
    std::string frame(const std::string& routine) {
        return abort_frame_of(routine, 1, INPUT.DATA_LINE.str(), std::string(INPUT.DATA_FILE_NAME.sub(1, 34)));
    }
};

TEST_F(Numbering, WithoutAPageANodeIsItsOwnNumber) {
    ASSERT_FALSE(read_map("ok_head.map").aborted);
    int32_t g = -1;
    EXPECT_EQ(NODENUM(0, 7), 7);
    ZARIK_NODE(0, 3, g);
    EXPECT_EQ(g, 3);
    EXPECT_EQ(NET.NBUSES(1), 0);  // nothing raised without a page
    ZARIK_NODE(0, 4, g);          // exactly the node limit passes
    EXPECT_EQ(g, 4);
}

TEST_F(Numbering, ABlankMapFileNameMeansOneSubsystem) {
    ASSERT_FALSE(read_map("ok_head.map").aborted);
    INPUT.MAP_FILE_NAME.blank();
    DIMBLOCK.NSUBSYS = 0;
    EXPECT_EQ(SSNUM(0, 5), 1);
    EXPECT_EQ(DIMBLOCK.NSUBSYS, 1);
}

TEST_F(Numbering, PagesOfTheOldAndTheNewForm) {
    ASSERT_FALSE(read_map("ok_sections.map").aborted);
    // The last page read is in the new form at offset 7: local nodes 1, 2
    // and 3 are nodes 1, 2 and 1 of subsystems 1, 2 and 2.
    EXPECT_EQ(SSNUM(7, 1), 1);
    EXPECT_EQ(SSNUM(7, 2), 2);
    EXPECT_EQ(SSNUM(7, 3), 2);
    EXPECT_EQ(NODENUM(7, 3), 1);
    NET.NBUSES(2) = 0;
    int32_t g = -1;
    ZARIK_NODE(7, 2, g);
    EXPECT_EQ(g, 2);
    EXPECT_EQ(NET.NBUSES(2), 2);
    ZARIK_NODE(7, 3, g);
    EXPECT_EQ(NET.NBUSES(2), 2);  // the highest number stays
    ZARIK_NODE(7, 0, g);
    EXPECT_EQ(g, 0);
    // The old form: the page's own subsystem word.
    MAP_PAGE.map_mode = "OLD";
    EXPECT_EQ(SSNUM(2, 3), 1);
}

TEST_F(Numbering, ALocalNodeBeyondItsPage) {
    ASSERT_FALSE(read_map("ok_sections.map").aborted);
    const Captured c = capture([] { NODENUM(7, 4); });
    ASSERT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " Invalid node number:            4\n" + frame("NODENUM"));
    const Captured s = capture([] { SSNUM(7, 4); });
    ASSERT_TRUE(s.aborted);
    EXPECT_EQ(s.out, " Invalid node number:            4\n" + frame("SSNUM"));
}

TEST_F(Numbering, SubsystemsBeyondTheCaseOrBelowOne) {
    ASSERT_FALSE(read_map("ok_head.map").aborted);
    Captured c = capture([] { CHECKSSN(3); });
    ASSERT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " Subsystem #            3  is > max. subsystems to be used\n"
                     " Check for missmatches in mapfile and datafiles\n" + frame("CHECKSSN"));
    c = capture([] { CHECKSSN(-1); });
    ASSERT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " Negative subsystem # encountered\n" + frame("CHECKSSN"));
    c = capture([] { CHECKSSN(2); });
    EXPECT_FALSE(c.aborted);
    EXPECT_EQ(c.out, "");
}

}  // namespace
