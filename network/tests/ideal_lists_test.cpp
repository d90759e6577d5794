// The ideal-branch lists and constraints of a factorisation: the start
// node brought down to the lower node of every ideal branch it cuts, the
// list entries and their orientation, the loops found through ground, and
// the faults that stop the run.
#include "engine/solution_arrays.h"
#include "engine/time_step.h"
#include "network/ideal_branches.h"
#include "network/tests/ideal_circuit.h"
#include "network/triangularise.h"

namespace {

constexpr double kDt = 50e-6;

using IdealLists = SolutionTest;

TEST_F(IdealLists, StartNodeComesDownBelowEveryIdealBranchItCuts) {
    tables(8, 6, kDt);
    ideal_branch(2, 4);
    ideal_branch(7, 3);
    ideal_branch(0, 6);  // to ground: cuts nothing
    branch({1, 8, 1.0});
    NET.MXINV(1) = 5;
    IDLSTART(1);
    // (3, 7) brings it to 3, and then (2, 4) to 2.
    EXPECT_EQ(NET.MXINV(1), 2);
    NET.MXINV(1) = 5;
    NET.IEF(1, 1) = 4;
    NET.IET(1, 1) = 5;  // now (4, 5), cut at 5 but not at 3
    IDLSTART(1);
    EXPECT_EQ(NET.MXINV(1), 3);
    NET.MXINV(1) = 8;
    IDLSTART(1);
    EXPECT_EQ(NET.MXINV(1), 8);
    NET.MXINV(1) = 1;
    IDLSTART(1);
    EXPECT_EQ(NET.MXINV(1), 1);
    NET.MXINV(1) = 6;
    NET.IDEALSS(1) = LFALSE;
    IDLSTART(1);
    EXPECT_EQ(NET.MXINV(1), 6);
}

// Node 1 is fed by a source; 3 -> 1 ideal (entered backwards), 2 -> 4
// ideal with nothing else at node 4 (its row sums to zero with the branch's
// coupling), 1 -> 2 a resistor, and node 3 and node 2 held to ground by
// ideal branches, one of each orientation.
TEST_F(IdealLists, ListEntriesTheirOrientationAndTheConstrainedRows) {
    tables(4, 6, kDt);
    branch({0, 1, 1.0, 0, 0, 10.0});
    ideal_branch(3, 1);
    ideal_branch(2, 4);
    branch({1, 2, 2.0});
    ideal_branch(0, 3);
    ideal_branch(2, 0);
    options(true, false);
    start();
    ASSERT_TRUE(step());
    NetworkTables& N = NET;
    EXPECT_EQ(N.NIDEALA(1), 2);
    EXPECT_EQ(N.NIDEAL(1), 4);
    EXPECT_EQ(N.IDLIST(1, 1), -2);
    EXPECT_EQ(N.IDLIST(2, 1), -3);
    EXPECT_EQ(N.IDLIST(3, 1), -5);
    EXPECT_EQ(N.IDLIST(4, 1), 6);
    EXPECT_TRUE(is_true(N.FLIPIDLBR(2, 1)));
    EXPECT_TRUE(is_true(N.FLIPIDLBR(3, 1)));
    EXPECT_TRUE(is_true(N.FLIPIDLBR(5, 1)));
    EXPECT_FALSE(is_true(N.FLIPIDLBR(6, 1)));
    for (int32_t k = 1; k <= 4; ++k) EXPECT_TRUE(is_true(N.IDLNODE(k))) << k;
    // Every node is tied to ground: the source drives its 1 ohm, which
    // carries all of it through 3 -> 1 and 0 -> 3 back to ground.
    for (int32_t k = 1; k <= 4; ++k) EXPECT_EQ(V(k), 0.0) << k;
    EXPECT_DOUBLE_EQ(I(1), 10.0);
    EXPECT_DOUBLE_EQ(I(2), -10.0);
    EXPECT_DOUBLE_EQ(I(5), -10.0);
    EXPECT_EQ(I(3), 0.0);
    EXPECT_EQ(I(6), 0.0);
    EXPECT_EQ(array_overrun_count(), 0);
}

TEST_F(IdealLists, EntryWithOneNodeBelowTheStartNodeIsAnInternalProblem) {
    tables(4, 3, kDt);
    branch({0, 1, 1.0, 0, 0, 10.0});
    ideal_branch(3, 1);
    branch({3, 0, 1.0});
    NET.MXINV(1) = 2;
    const Captured c = capture([] { IDLSRC(1); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " ***ERROR** Internal problem in IDLSRC processing\n"
                     " ***ERROR**  branch 2 of subsystem 1\n" +
                         abort_frame("IDLSRC"));
}

// Two ideal branches from node 2 to ground: the second finds the node held
// and closes a loop through ground; without a source that is taken, with
// one the run stops.
TEST_F(IdealLists, TwoIdealBranchesToGroundOnOneNode) {
    for (double emf : {0.0, 5.0}) {
        tables(2, 4, kDt);
        branch({0, 1, 1.0, 0, 0, 10.0});
        branch({1, 2, 1.0});
        ideal_branch(2, 0);
        ideal_branch(0, 2, emf);
        options(true, false);
        start();
        bool ok = false;
        const Captured c = capture([&] { ok = step(); });
        if (emf == 0.0) {
            EXPECT_TRUE(ok) << c.out;
            EXPECT_EQ(NET.IDLIST(1, 1), 3);
            EXPECT_EQ(NET.IDLIST(2, 1), 0);
            EXPECT_EQ(V(2), 0.0);
            EXPECT_DOUBLE_EQ(V(1), 5.0);
            EXPECT_DOUBLE_EQ(I(3) - I(4), 5.0);
        } else {
            EXPECT_FALSE(ok);
            EXPECT_NE(c.out.find(" ***ERROR** Short circuited voltage source \n"
                                 " ***ERROR** branch 4 of subsystem 1\n" + abort_frame("SCTEST")),
                      std::string::npos)
                << c.out;
        }
    }
}

TEST_F(IdealLists, ShortCircuitTestRefusesMoreBranchesThanItsLists) {
    tables(2, 3, kDt);
    ideal_branch(1, 2);
    ideal_branch(2, 1);
    NET.SCT_BRANCH.allocate(1);
    const Captured c = capture([] { SCTEST(1); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " ***ERROR** Problem in SCTEST, Temporary dimensions exceed\n" + abort_frame("SCTEST"));
}

// Asked for one branch, the current balance gives its current and leaves
// the branch currents alone.
TEST_F(IdealLists, CurrentOfOneIdealBranchChangesNothingElse) {
    tables(2, 3, kDt);
    branch({0, 1, 1.0, 0, 0, 10.0});
    const int32_t b = ideal_branch(1, 2);
    branch({2, 0, 4.0});
    options(true, false);
    start();
    ASSERT_TRUE(step());
    EXPECT_DOUBLE_EQ(I(b), 2.0);
    NET.CBR(b, 1) = 7.0;
    double current = 0.0;
    IDLCUR(1, 1.0, b, current, false, true);
    EXPECT_DOUBLE_EQ(current, 2.0);
    EXPECT_EQ(NET.CBR(b, 1), 7.0);
    // A subsystem without ideal branches is left alone.
    NET.IDEALSS(1) = LFALSE;
    current = -1.0;
    IDLCUR(1, 1.0, b, current, false, true);
    EXPECT_EQ(current, -1.0);
}

}  // namespace
