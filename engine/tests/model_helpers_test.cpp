// The routines that models call: the number checks with their exact
// texts, the accessors with node 0 as ground, the obsolete branch-current
// measure, and the number and text conversions.
#include <string>

#include "engine/model_helpers.h"
#include "engine/tests/engine_test_support.h"
#include "network/network_tables.h"

namespace {

class ModelHelpers : public EngineTest {
protected:
    void SetUp() override { fresh(); }
    // A stopped run frees the storage: the tables again for the next call.
    static void fresh() {
        reset_engine();
        allocate({{ND_NODES, 10}, {ND_SUBSYS, 2}, {ND_BRANCHES, 6}});
        NET.NBUSES(1) = 10;
        NET.NBRANCHES(1) = 3;
        NET.NBUSES(2) = 4;
        NET.NBRANCHES(2) = 2;
    }
    // Branch b of subsystem ss from node f to node t with current i.
    static void branch(int32_t ss, int32_t b, int32_t f, int32_t t, double i) {
        NET.IEF(b, ss) = f;
        NET.IET(b, ss) = t;
        NET.CBR(b, ss) = i;
    }
};

TEST_F(ModelHelpers, ChecksStopTheRunWithTheirTextsAndPassGoodNumbers) {
    const struct {
        std::function<void()> call;
        const char* text;  // none: the check passes
        const char* routine;
    } cases[] = {
        {[] { CHKSS("MYMODEL", 2), CHKNODE("NODEMODEL", 10, 1), CHKBRANCH("BRMODEL", 3, 1); }, nullptr, ""},
        {[] { NET.SWITCH(1, 1) = LTRUE, CHKSWITCH("BREAKER", 1, 1); }, nullptr, ""},
        {[] { CHKSS("MYMODEL", -3); }, "Negative Subsystem Number: -3\n", "MYMODEL"},
        {[] { CHKSS("MYMODEL", 0); }, " Zero Subsystem Number\n", "MYMODEL"},
        {[] { CHKSS("MYMODEL", 3); }, "Current SS# (  3 ) is greater than max SS#   2\n", "MYMODEL"},
        {[] { CHKNODE("NODEMODEL", 12, 1); }, "Current Node# (   12 ) > max Node#   10 in SS  1\n", "NODEMODEL"},
        {[] { CHKNODE("NODEMODEL", -4, 2); }, "Negative Node Number:   -4\n", "NODEMODEL"},
        {[] { CHKNODE("NODEMODEL", 0, 2); }, " Zero Node Number\n", "NODEMODEL"},
        {[] { CHKNODE("NODEMODEL", 0, 0); }, " Zero Subsystem Number\n", "NODEMODEL"},  // subsystem first
        {[] { CHKBRANCH("BRMODEL", 0, 0); }, " Zero Subsystem Number\n", "BRMODEL"},
        {[] { CHKBRANCH("BRMODEL", 0, 1); }, " Zero Branch Number\n", "BRMODEL"},
        {[] { CHKBRANCH("BRMODEL", 4, 1); }, "Current Branch# (    4 ) > max Br#    3 in SS  1\n", "BRMODEL"},
        {[] { CHKBRANCH("BRMODEL", -2, 2); }, "Negative Branch #   -2 in SS  2\n", "BRMODEL"},
        {[] { branch(1, 2, 7, 3, 0.0), CHKSWITCH("BREAKER", 2, 1); },
         "Branch#    2 does not have a switch attribute.\nFROM and TO Nodes:     7     3\n", "BREAKER"},
        // A number beyond the tables is no switch either, and reads nothing.
        {[] { CHKSWITCH("BREAKER", 99, 1); },
         "Branch#   99 does not have a switch attribute.\nFROM and TO Nodes:     0     0\n", "BREAKER"},
        {[] { DISCONTINUED("OLDMODEL"); },
         " OLDMODEL     has been discontinued and cannot be supported\n"
         " See Migrating to ZARIK 3.1 section in on-line help\n",
         "OLDMODEL"},
        {[] { branch(1, 1, 7, 3, 2.5), CDC(2, 6, 1); }, " No branch between nodes           2           6\n", "CDC"},
        // A subsystem without branches has none between any nodes.
        {[] { CDC(1, 2, 2); }, " No branch between nodes           1           2\n", "CDC"},
    };
    for (const auto& s : cases) {
        fresh();
        const Captured c = capture(s.call);
        EXPECT_EQ(c.aborted, s.text != nullptr) << s.text;
        EXPECT_EQ(c.out, s.text ? s.text + abort_frame(s.routine) : "");
    }
    EXPECT_EQ(array_overrun_count(), 0);
}

TEST_F(ModelHelpers, AccessorsTreatNodeZeroAsGround) {
    NET.VSOL(3) = 5.0;
    NET.VSOL(4) = 2.0;
    NET.VNODE(3, 2) = 7.0;
    NET.VNODE(4, 2) = 1.5;
    EXPECT_EQ(std::vector<double>({VECVAL(3), VECVAL(0), VECDIFF(3, 4), VECDIFF(0, 4), VECDIFF(0, 0)}),
              std::vector<double>({5.0, 0.0, 3.0, -2.0, 0.0}));
    EXPECT_EQ(std::vector<double>(
                  {NODEV(2, 3), NODEV(2, 0), NODEVDIFF(2, 3, 4), NODEVDIFF(2, 3, 0), NODEVDIFF(2, 0, 0)}),
              std::vector<double>({7.0, 0.0, 5.5, 7.0, 0.0}));
    // The speaking component ignores numbers below one.
    SETIDS(4, 9);
    SETIDS(0, 7);
    SETIDS(5, -1);
    EXPECT_EQ(std::vector<int32_t>({CURRENT_IDS.id1, CURRENT_IDS.id2}), std::vector<int32_t>({4, 9}));
}

TEST_F(ModelHelpers, BranchValueOfThePresentPass) {
    // Branch 1 from node 2 to node 1 with G = 0.5, E = 10 and a history
    // current of 1.5: (E + V) G + h.
    branch(1, 1, 2, 1, 0.0);
    NET.GEQ(1, 1) = 0.5;
    NET.SOURCE(1, 1) = LTRUE;
    NET.EBR(1, 1) = NET.EBRD(1, 1) = 10.0;
    NET.CCBR(1, 1) = NET.CCBRD(1, 1) = 1.5;
    NET.THISBR(1, 1) = 0;
    NET.VSOL(2) = 4.0;
    NET.VSOL(1) = 1.0;
    NET.SRC_POS = 99;
    EXPECT_DOUBLE_EQ(BRVALUE(1, 1, 0.0, false, false), (10.0 + 3.0) * 0.5 + 1.5);
    EXPECT_EQ(NET.SRC_POS, 0);
    // Without a source the EMF takes no part.
    NET.SOURCE(1, 1) = LFALSE;
    EXPECT_DOUBLE_EQ(BRVALUE(1, 1, 0.0, false, false), 3.0 * 0.5 + 1.5);
}

TEST_F(ModelHelpers, ObsoleteCurrentBetweenNodesWarnsOfParallelBranches) {
    branch(1, 1, 7, 3, 2.5);  // from 7 to 3
    branch(1, 2, 5, 0, -4.0);
    EXPECT_EQ(std::vector<double>({CDC(3, 7, 1), CDC(7, 3, 1), CDC(5, 5, 1)}), std::vector<double>({2.5, -2.5, -4.0}));
    branch(1, 2, 3, 7, 1.0);
    RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    double i = 0.0;
    Captured c = capture([&] { i = CDC(3, 7, 1); });
    EXPECT_FALSE(c.aborted);
    EXPECT_EQ(i, 2.5);
    EXPECT_EQ(c.out, " Inappropriate use of obsolete function CDC\n"
                     " to measure current across parallel branches\n"
                     " between nodes:            3           7\n"
                     " Use CBR array to measure current through a branch\n"
                     " See ZARIK Help on Writing Your Own Model\n");
    // Only the first step of a run started from data warns.
    RUN_FLAGS.FIRST_STEP_DATA = LFALSE;
    c = capture([&] { i = CDC(7, 3, 1); });
    EXPECT_EQ(c.out, "");
    EXPECT_EQ(i, -2.5);
}

TEST(ModelConversions, LogicalsSignsAndPolarForms) {
    for (const auto& [v, bit] : {std::pair{3, 1}, {-1, 1}, {2, 0}, {0, 0}}) EXPECT_EQ(LBIT(v), bit) << v;
    for (const auto& [v, l] : {std::pair{7, LTRUE}, {-2, LTRUE}, {0, LFALSE}}) EXPECT_EQ(ILOGICAL(v), l) << v;
    // Halves go away from zero.
    for (const auto& [v, l] : {std::pair{0.4, LFALSE}, {0.5, LTRUE}, {-0.5, LTRUE}, {-0.49, LFALSE}, {2.0, LTRUE}})
        EXPECT_EQ(RLOGICAL(v), l) << v;
    for (const auto& [v, flag, out] : {std::tuple{-1, LTRUE, 32767}, {-32768, LTRUE, 0}, {-2, LTRUE, 32766},
                                       {-1, LFALSE, -1}, {1234, LTRUE, 1234}, {32767, LFALSE, 32767}})
        EXPECT_EQ(STRIP_SIGN16(static_cast<int16_t>(v), flag), out) << v;
    // The degree factor is the 15-digit one, not pi/180 in full.
    EXPECT_EQ(POL_RE(2.0, 60.0), 2.0 * std::cos(60.0 * 0.017453292519943));
    EXPECT_EQ(POL_IM(2.0, 30.0), 2.0 * std::sin(30.0 * 0.017453292519943));
    EXPECT_NEAR(POL_IM(3.0, -90.0), -3.0, 1e-13);
    EXPECT_EQ(RECT_MAG(3.0, 4.0), 5.0);
    EXPECT_EQ(RECT_ANG(0.0, 0.0), 0.0);
    EXPECT_EQ(RECT_ANG(1e-21, -1e-21), 0.0);
    EXPECT_DOUBLE_EQ(RECT_ANG(0.0, 1.0), 90.0);
    EXPECT_DOUBLE_EQ(RECT_ANG(-1.0, 0.0), 180.0);
    EXPECT_DOUBLE_EQ(RECT_ANG(1.0, -1.0), -45.0);
}

TEST(ModelConversions, IntegerTexts) {
    EXPECT_EQ(INT2TXT(-12).str(), "-12" + std::string(69, ' '));
    EXPECT_EQ(INT2TXT(0).str(), "0" + std::string(71, ' '));
    EXPECT_EQ(INT2TXT(2147483647).trimmed(), "2147483647");
    EXPECT_EQ(INT2TXTZ(5, 42).str(), "00042" + std::string(67, ' '));
    EXPECT_EQ(INT2TXTZ(4, -5).str(), "00-5" + std::string(68, ' '));
    EXPECT_EQ(INT2TXTZ(2, 12345).trimmed(), "12345");
    EXPECT_EQ(INT2TXTZ(0, 7).trimmed(), "7");
    EXPECT_EQ(INT2TXTZ(100, 7).str(), std::string(72, '0'));
}

}  // namespace
