// The routines that models call: the number checks with their exact
// texts, the accessors with node 0 as ground, and integer texts.
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
        {[] { CHKSS("M", 2), CHKNODE("M", 10, 1), CHKBRANCH("M", 3, 1), NET.SWITCH(1, 1) = LTRUE,
              CHKSWITCH("M", 1, 1); },
         nullptr, ""},
        {[] { CHKSS("MYMODEL", 3); }, "Current SS# (  3 ) is greater than max SS#   2\n", "MYMODEL"},
        {[] { CHKNODE("NODEMODEL", 12, 1); }, "Current Node# (   12 ) > max Node#   10 in SS  1\n", "NODEMODEL"},
        {[] { CHKNODE("NODEMODEL", 0, 0); }, " Zero Subsystem Number\n", "NODEMODEL"},  // subsystem first
        {[] { CHKBRANCH("BRMODEL", 4, 1); }, "Current Branch# (    4 ) > max Br#    3 in SS  1\n", "BRMODEL"},
        // A number beyond the tables is no switch either, and reads nothing.
        {[] { CHKSWITCH("BREAKER", 99, 1); },
         "Branch#   99 does not have a switch attribute.\nFROM and TO Nodes:     0     0\n", "BREAKER"},
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

TEST_F(ModelHelpers, NodeZeroIsGround) {
    NET.VSOL(2) = 4.0;
    NET.VNODE(3, 2) = 7.0;
    EXPECT_EQ(std::vector<double>({VECVAL(0), VECDIFF(0, 2), NODEV(2, 0), NODEVDIFF(2, 3, 0)}),
              std::vector<double>({0.0, -4.0, 0.0, 7.0}));
}

TEST(ModelConversions, IntegerTextsFitTheirField) {
    EXPECT_EQ(INT2TXTZ(4, -5).str(), "00-5" + std::string(68, ' '));
    EXPECT_EQ(INT2TXTZ(2, 12345).trimmed(), "12345");
    EXPECT_EQ(INT2TXTZ(100, 7).str(), std::string(72, '0'));
}

}  // namespace
