// The columns a step's passes take once are those of the tables as they
// stand: taken again once an array is made, freed, copied or moved, and
// never kept for a subsystem outside the tables.
#include "network/subsystem_columns.h"

#include <utility>

#include "network/tests/solution_circuit.h"

namespace {

using SubsystemColumnsTest = SolutionTest;

// Every column the record holds, against column() now.
void expect_current(int32_t ss) {
    NetworkTables& N = NET;
    const SubsystemColumns& c = subsystem_columns(ss);
    EXPECT_EQ(c.vnode.p, column(N.VNODE, ss).p);
    EXPECT_EQ(c.chist.p, column(N.CHIST, ss).p);
    EXPECT_EQ(c.norbus.p, column(N.NORBUS, ss).p);
    EXPECT_EQ(c.ief.p, column(N.IEF, ss).p);
    EXPECT_EQ(c.cbr.p, column(N.CBR, ss).p);
    EXPECT_EQ(c.ebrd.p, column(N.EBRD, ss).p);
    EXPECT_EQ(c.tswitch.p, column(N.TSWITCH, ss).p);
    EXPECT_EQ(c.vsol.p, column(N.VSOL).p);
    EXPECT_EQ(c.swcount.p, column(N.SWCOUNT).p);
}

TEST_F(SubsystemColumnsTest, FollowTheTablesAsTheyAreMadeAgain) {
    allocate({{ND_NODES, 4}, {ND_SUBSYS, 2}, {ND_BRANCHES, 6}, {ND_SPARSITY, 30}});
    expect_current(2);
    expect_current(1);
    NetworkTables& N = NET;
    N.CBR.allocate(9, 2);
    expect_current(1);
    FArray2<double> other;
    other.allocate(7, 2);
    std::swap(other, N.EBRD);
    expect_current(1);
    N.VSOL = FArray1<double>();
    N.VSOL.allocate(12);
    expect_current(1);
    N.TSWITCH.free();
    N.TSWITCH.allocate(6, 3);
    expect_current(2);
}

TEST_F(SubsystemColumnsTest, SubsystemOutsideTheTablesIsNotedOnEveryCall) {
    allocate({{ND_NODES, 4}, {ND_SUBSYS, 2}, {ND_BRANCHES, 6}, {ND_SPARSITY, 30}});
    const int64_t before = array_overrun_count();
    EXPECT_EQ(subsystem_columns(3).cbr.p, nullptr);
    const int64_t once = array_overrun_count();
    EXPECT_GT(once, before);
    EXPECT_EQ(subsystem_columns(3).vnode.p, nullptr);
    EXPECT_EQ(array_overrun_count(), once + (once - before));
    expect_current(1);
}

}  // namespace
