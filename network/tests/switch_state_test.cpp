// Closing and opening switched branches and the set-up of a switch.
#include <gtest/gtest.h>

#include "engine/abort.h"
#include "engine/engine_reset.h"
#include "engine/engine_stop.h"
#include "network/dimensions.h"
#include "network/network_tables.h"
#include "network/switch_state.h"
#include "platform/text_units.h"

namespace {

class SwitchState : public testing::Test {
protected:
    void SetUp() override {
        reset_all_engine_state();
        NetworkTables& N = NET;
        for (auto* a : {&N.GEQ, &N.GON, &N.GOFF, &N.EBR, &N.EBRD, &N.EON, &N.EOFF, &N.SWVAL, &N.TSWITCH})
            a->allocate(4, 1);
        for (auto* a : {&N.OPENBR, &N.IDEALBR, &N.SOURCE, &N.SWITCH}) a->allocate(4, 1);
        for (auto* a : {&N.IORV, &N.IEF, &N.IET}) a->allocate(4, 1);
        N.MXINV.allocate(1);
        N.IDEALSS.allocate(1);
        N.GIDEAL.allocate(1);
        N.NBUSES.allocate(1);
        N.NBRANCHES.allocate(1);
        DIMBLOCK.NSUBSYS = 1;
        N.NBUSES(1) = 6;
        N.NBRANCHES(1) = 4;
        N.GIDEAL(1) = 1e8;
        N.MXINV(1) = 7;
        N.IEF(2, 1) = 5;
        N.IET(2, 1) = 3;
        N.SWITCH(2, 1) = LTRUE;
    }
    void TearDown() override { reset_all_engine_state(); }
};

TEST_F(SwitchState, StartNodeIsTheLowerNonGroundNode) {
    NET.MXINV(1) = 4;
    SS_MINREQ(1, 5, 3);
    EXPECT_EQ(NET.MXINV(1), 3);
    NET.MXINV(1) = 9;
    SS_MINREQ(1, 0, 7);
    EXPECT_EQ(NET.MXINV(1), 7);
    SS_MINREQ(1, 6, 0);
    EXPECT_EQ(NET.MXINV(1), 6);
    SS_MINREQ(1, 8, 9);
    EXPECT_EQ(NET.MXINV(1), 6);
}

TEST_F(SwitchState, ClosingAndOpeningCopyTheirState) {
    NetworkTables& N = NET;
    N.GON(2, 1) = 100.0;
    N.EON(2, 1) = 1e-21;
    N.GOFF(2, 1) = 1e-6;
    N.EOFF(2, 1) = 2e-20;
    BRANCH_ON(1, 2, 3, 0.25);
    EXPECT_FALSE(is_true(N.OPENBR(2, 1)));
    EXPECT_EQ(N.GEQ(2, 1), 100.0);
    EXPECT_EQ(N.EBRD(2, 1), 1e-21);
    EXPECT_FALSE(is_true(N.SOURCE(2, 1)));
    EXPECT_EQ(N.IORV(2, 1), 3);
    EXPECT_EQ(N.SWVAL(2, 1), 0.25);
    EXPECT_FALSE(is_true(N.IDEALBR(2, 1)));
    EXPECT_EQ(N.MXINV(1), 3);

    BRANCH_OFF(1, 2, -13, 0.5);
    EXPECT_TRUE(is_true(N.OPENBR(2, 1)));
    EXPECT_EQ(N.GEQ(2, 1), 1e-6);
    EXPECT_EQ(N.EBR(2, 1), 2e-20);
    EXPECT_TRUE(is_true(N.SOURCE(2, 1)));
    EXPECT_EQ(N.IORV(2, 1), -13);
}

TEST_F(SwitchState, IdealClosedStateMarksTheSubsystem) {
    NET.GON(2, 1) = 0.0;
    BRANCH_ON(1, 2, 6, 0.0);
    EXPECT_TRUE(is_true(NET.IDEALBR(2, 1)));
    EXPECT_TRUE(is_true(NET.IDEALSS(1)));
    BRANCH_OFF(1, 2, 6, 0.0);
    EXPECT_FALSE(is_true(NET.IDEALBR(2, 1)));
}

TEST_F(SwitchState, SwitchSetUpLeavesTheBranchOpen) {
    CHK_SWITCH_R(1, -2, 0.01, 1e6, 1.5, 0.0, "BREAKER");
    NetworkTables& N = NET;
    EXPECT_TRUE(is_true(N.OPENBR(2, 1)));
    EXPECT_EQ(N.GEQ(2, 1), 1e-6);
    EXPECT_EQ(N.EBR(2, 1), -0.0);
    EXPECT_EQ(N.EON(2, 1), -1.5);
    EXPECT_EQ(N.IORV(2, 1), 6);
    EXPECT_EQ(N.SWVAL(2, 1), 0.0);
    EXPECT_EQ(N.TSWITCH(2, 1), 1.5);
    EXPECT_EQ(N.GON(2, 1), 100.0);
    // An ON resistance below the ideal threshold gives an ideal closed state.
    CHK_SWITCH_R(1, 2, 1e-9, 1e6, 0.0, 0.0, "BREAKER");
    EXPECT_EQ(N.GON(2, 1), 0.0);
    EXPECT_TRUE(is_true(N.IDEALSS(1)));
}

TEST_F(SwitchState, SwitchSetUpRefusesBadResistances) {
    const std::string rule = " " + std::string(57, '=') + "\n";
    const std::string frame = rule + " ERROR: Abnormal termination of ZARIK by BREAKER     \n" + rule + " \n";
    testing::internal::CaptureStdout();
    EXPECT_THROW(CHK_SWITCH_R(1, 2, 5.0, 5.0, 0.0, 0.0, "BREAKER"), StandaloneAbort);
    console_flush();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              " ***ERROR** OFF resistance of switch in branch 2 of subsystem \n"
              " ***ERROR** 1 must be larger than the ON resistance.\n" + frame);
    reset_all_engine_state();
    SetUp();
    testing::internal::CaptureStdout();
    EXPECT_THROW(CHK_SWITCH_R(1, 2, 1e-10, 1e-9, 0.0, 0.0, "BREAKER"), StandaloneAbort);
    console_flush();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              " ***ERROR** OFF resistance of switch in branch 2 of subsystem \n"
              " ***ERROR** 1 must be larger than the ideal branch threshold    0.10000000000000E-07\n" +
                  frame);
}

}  // namespace
