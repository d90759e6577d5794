// The transformer history step on a hand-written transformer table: the
// winding history currents from the winding voltages and currents, and
// their injections with the signs of the winding's two nodes.
#include <gtest/gtest.h>

#include "engine/engine_stop.h"
#include "engine/storage.h"
#include "models/models.h"
#include "models/xfmr_tables.h"
#include "network/dimensions.h"
#include "network/network_tables.h"
#include "network/tests/reader_test_support.h"
#include "network/transformer_step.h"

namespace {

class TransformerStep : public testing::Test {
protected:
    void SetUp() override {
        reset_engine();
        DIMBLOCK.REQ[ND_NODES] = 5;
        DIMBLOCK.REQ[ND_SUBSYS] = 2;
        DIMBLOCK.REQ[ND_BRANCHES] = 1;
        DIMBLOCK.REQ[ND_WINDINGS] = 2;
        DIMBLOCK.REQ[ND_TRAFOS] = 2;
        DIMBLOCK.NSUBSYS = 2;
        int32_t status = -1;
        ALLOC_STORAGE(status);
        ASSERT_EQ(status, 0);
        CLEAR_STORAGE();
        NET.NBUSES(1) = 5;
        NET.NBUSES(2) = 5;
        for (int32_t k = 1; k <= 5; ++k) {
            NET.CHIST(k, 1) = 10.0 * k;
            NET.CHIST(k, 2) = -10.0 * k;
        }
        NET.VNODE(2, 1) = 100.0;
        NET.VNODE(3, 1) = 30.0;
        NET.VNODE(4, 1) = 10.0;
    }
    void TearDown() override { reset_engine(); }

    // Transformer 1 of subsystem 1, stored with its number negated:
    // winding 1 from node 2 to ground, winding 2 from node 3 to node 4.
    // Transformer 2 belongs to subsystem 2.
    void transformers() {
        XfmrTables& X = XFMR_TABLES;
        XFMR_COUNT.total = 2;
        X.XF_NSS(1) = 1;
        X.XF_NSS(2) = 1;
        X.XF_SUBSYS(1) = -1;
        X.XF_SUBSYS(2) = 2;
        X.XF_NWDG(1) = 2;
        X.XF_NWDG(2) = 1;
        X.XF_NODE1(1, 1) = 2;
        X.XF_NODE2(1, 1) = 0;
        X.XF_NODE1(2, 1) = 3;
        X.XF_NODE2(2, 1) = 4;
        X.XF_NODE1(1, 2) = 1;
        X.XF_NODE2(1, 2) = 2;
        X.XF_CUR(1, 1) = 1.5;
        X.XF_CUR(2, 1) = -2.0;
        X.XF_GEQ(1, 1, 1) = 0.5;
        X.XF_GEQ(1, 2, 1) = -0.25;
        X.XF_GEQ(2, 1, 1) = -0.25;
        X.XF_GEQ(2, 2, 1) = 0.125;
        X.XF_HIST(1, 1, 1) = 1.0;
        X.XF_HIST(1, 2, 1) = 2.0;
        X.XF_HIST(2, 1, 1) = 3.0;
        X.XF_HIST(2, 2, 1) = 4.0;
        X.XF_HNEW(1, 1) = 7.0;
        X.XF_HNEW(2, 1) = 8.0;
        X.XF_IMAG(1, 1) = 0.5;
        X.XF_IMAG(2, 1) = 1.0;
        X.XF_GEQ(1, 1, 2) = 1.0;
        X.XF_HNEW(1, 2) = 3.0;
    }
};

TEST_F(TransformerStep, WithoutTransformersOnlyTheInjectionsMove) {
    DSMDYN(1);
    for (int32_t k = 1; k <= 5; ++k) {
        EXPECT_EQ(NET.CHISTD(k, 1), 10.0 * k);
        EXPECT_EQ(NET.CHIST(k, 1), 0.0);
        EXPECT_EQ(NET.CHIST(k, 2), -10.0 * k) << "another subsystem";
    }
}

TEST_F(TransformerStep, HistoryCurrentsAndTheirInjections) {
    transformers();
    DSMDYN(1);
    const XfmrTables& X = XFMR_TABLES;
    // v = (100, 30 - 10), i = (1.5, -2):
    // h1 = 0.5*100 + 1*1.5 - 0.25*20 + 2*(-2) = 42.5
    // h2 = -0.25*100 + 3*1.5 + 0.125*20 + 4*(-2) = -26
    EXPECT_EQ(X.XF_HNEW(1, 1), 42.5);
    EXPECT_EQ(X.XF_HNEW(2, 1), -26.0);
    EXPECT_EQ(X.XF_HOLD(1, 1), 7.0);
    EXPECT_EQ(X.XF_HOLD(2, 1), 8.0);
    // Winding 1 to ground injects h + m at node 2 only; winding 2 injects
    // h + m at its first node and -(h + m) at its second.
    EXPECT_EQ(NET.CHIST(1, 1), 0.0);
    EXPECT_EQ(NET.CHIST(2, 1), 42.5 + 0.5);
    EXPECT_EQ(NET.CHIST(3, 1), -26.0 + 1.0);
    EXPECT_EQ(NET.CHIST(4, 1), 26.0 - 1.0);
    EXPECT_EQ(NET.CHIST(5, 1), 0.0);
    for (int32_t k = 1; k <= 5; ++k) EXPECT_EQ(NET.CHISTD(k, 1), 10.0 * k);
    // The transformer of subsystem 2 waits for its own subsystem.
    EXPECT_EQ(X.XF_HNEW(1, 2), 3.0);
    EXPECT_EQ(X.XF_HOLD(1, 2), 0.0);

    // The next history step moves them on.
    DSMDYN(1);
    EXPECT_EQ(X.XF_HOLD(1, 1), 42.5);
    EXPECT_EQ(NET.CHISTD(2, 1), 43.0);
    EXPECT_EQ(array_overrun_count(), 0);
}

TEST_F(TransformerStep, GroundedSecondNodeAndFirstNode) {
    transformers();
    XfmrTables& X = XFMR_TABLES;
    // Winding 1 now from ground to node 2: its voltage is -V(2) and it
    // injects -(h + m) at node 2.
    X.XF_NODE1(1, 1) = 0;
    X.XF_NODE2(1, 1) = 2;
    X.XF_NWDG(1) = 1;
    DSMDYN(1);
    const double h = 0.5 * -100.0 + 1.0 * 1.5;
    EXPECT_EQ(X.XF_HNEW(1, 1), h);
    EXPECT_EQ(NET.CHIST(2, 1), -h - 0.5);
}

TEST_F(TransformerStep, MisalignedSubsystemNumbersStopTheRun) {
    transformers();
    XFMR_TABLES.XF_SUBSYS(2) = 1;  // a second transformer names subsystem 1
    const Captured c = capture([] { DSMDYN(1); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " ERROR during solution of transformers!\n"
                     " Transformer Subsystem Numbers are mis-aligned!\n" +
                         abort_frame("DSMDYN"));
}

}  // namespace
