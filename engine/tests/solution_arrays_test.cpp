// The subsystem solution matrices: both layouts, re-initialisation by a
// later run, the accessors' subsystem check, freeing and running out of
// memory.
#include "engine/engine_reset.h"
#include "engine/engine_stop.h"
#include "engine/solution_arrays.h"
#include "network/dimensions.h"
#include "network/parameters.h"
#include "platform/tests/support/capture.h"

namespace {

class SolutionArraysTest : public testing::Test {
protected:
    void SetUp() override { reset_all_engine_state(); }
    void TearDown() override { reset_all_engine_state(); }

    void dims(int32_t nodes, int32_t subsys, bool per_subsystem) {
        DIMBLOCK.AVAIL[ND_NODES] = nodes;
        DIMBLOCK.AVAIL[ND_SUBSYS] = subsys;
        DIMBLOCK.NSUBSYS = subsys;
        PARAMS.USE_SUBSYSDIM = as_logical(per_subsystem);
        int32_t status = -1;
        ALLOC_SSLIST(subsys, status);
        ASSERT_EQ(status, 0);
    }
    void allocate() {
        int32_t status = -1;
        ALLOCATION(DIMBLOCK.AVAIL[ND_SUBSYS], status);
        EXPECT_EQ(status, 0);
    }
};

TEST_F(SolutionArraysTest, SizeListStartsAtZero) {
    int32_t status = -1;
    ALLOC_SSLIST(3, status);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(SOLUTION_ARRAYS.SSDIM.size(), 3);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(SOLUTION_ARRAYS.SSDIM(i), 0);
    ALLOC_SSLIST(-4, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(SOLUTION_ARRAYS.SSDIM.size(), 0);
}

TEST_F(SolutionArraysTest, GlobalLayoutHoldsTheDiagonalPatternOfEverySubsystem) {
    dims(3, 2, false);
    allocate();
    for (int32_t ss = 1; ss <= 2; ++ss) {
        const SsView<int8_t> pat = SSDESC_IA(ss), fill = SSDESC_IB(ss);
        const SsView<double> gm = SSDESC_RA(ss), tri = SSDESC_RB(ss);
        ASSERT_EQ(pat.n1, 3);
        ASSERT_EQ(pat.n2, 3);
        EXPECT_EQ(gm.n1, 3);
        EXPECT_EQ(tri.n2, 3);
        for (int i = 1; i <= 3; ++i)
            for (int j = 1; j <= 3; ++j) {
                EXPECT_EQ(pat(i, j), i == j ? -1 : 0) << ss << ' ' << i << ' ' << j;
                EXPECT_EQ(fill(i, j), 0);
                EXPECT_EQ(gm(i, j), 0.0);
                EXPECT_EQ(tri(i, j), 0.0);
            }
    }
    // Two subsystems are separate slices of the same arrays.
    SSDESC_RA(1)(2, 3) = 7.0;
    EXPECT_EQ(SSDESC_RA(2)(2, 3), 0.0);
    EXPECT_EQ(SSDESC_RA(1)(2, 3), 7.0);
    EXPECT_EQ(SSDESC_RA(2).data - SSDESC_RA(1).data, 9);
}

TEST_F(SolutionArraysTest, PerSubsystemLayoutSizesEachSubsystem) {
    dims(10, 2, true);
    SOLUTION_ARRAYS.SSDIM(1) = 4;
    SOLUTION_ARRAYS.SSDIM(2) = 0;
    allocate();
    const SsView<int8_t> p1 = SSDESC_IA(1);
    ASSERT_EQ(p1.n1, 4);
    ASSERT_EQ(p1.n2, 4);
    for (int i = 1; i <= 4; ++i)
        for (int j = 1; j <= 4; ++j) EXPECT_EQ(p1(i, j), i == j ? -1 : 0);
    EXPECT_EQ(SSDESC_RB(1).n1, 4);
    EXPECT_EQ(SSDESC_IB(1).n2, 4);
    EXPECT_TRUE(SSDESC_RA(2).empty());
    EXPECT_TRUE(SSDESC_IA(2).empty());
    EXPECT_TRUE(SSDESC_IB(2).empty());
    // The global arrays were not created.
    EXPECT_FALSE(SOLUTION_ARRAYS.GM.allocated);
}

TEST_F(SolutionArraysTest, LaterRunReinitialisesWithoutCreating) {
    for (bool per : {false, true}) {
        reset_all_engine_state();
        dims(3, 1, per);
        SOLUTION_ARRAYS.SSDIM(1) = 3;
        allocate();
        const SsView<double> gm = SSDESC_RA(1);
        gm(1, 2) = 5.0;
        SSDESC_RB(1)(3, 3) = 2.0;
        SSDESC_IA(1)(1, 2) = -1;
        SSDESC_IB(1)(2, 1) = -1;
        allocate();
        EXPECT_EQ(SSDESC_RA(1).data, gm.data) << per;
        EXPECT_EQ(gm(1, 2), 0.0);
        EXPECT_EQ(SSDESC_RB(1)(3, 3), 0.0);
        EXPECT_EQ(SSDESC_IA(1)(1, 2), 0);
        EXPECT_EQ(SSDESC_IA(1)(2, 2), -1);
        EXPECT_EQ(SSDESC_IB(1)(2, 1), 0);
    }
}

TEST_F(SolutionArraysTest, LaterRunWithMoreNodesGetsALargerRecord) {
    dims(10, 2, true);
    SOLUTION_ARRAYS.SSDIM(1) = 2;
    SOLUTION_ARRAYS.SSDIM(2) = 5;
    allocate();
    EXPECT_EQ(SSDESC_RA(1).n1, 2);
    // The next run's "SUBSYSDIM:" gives subsystem 1 more nodes and
    // subsystem 2 fewer.
    SOLUTION_ARRAYS.SSDIM(1) = 6;
    SOLUTION_ARRAYS.SSDIM(2) = 3;
    allocate();
    const SsView<int8_t> p1 = SSDESC_IA(1), p2 = SSDESC_IA(2);
    ASSERT_EQ(p1.n1, 6);
    for (int i = 1; i <= 6; ++i) EXPECT_EQ(p1(i, i), -1);
    EXPECT_EQ(SSDESC_RB(1).n2, 6);
    // A smaller subsystem keeps its record; the diagonal covers its nodes.
    ASSERT_EQ(p2.n1, 5);
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(p2(i, i), i <= 3 ? -1 : 0);
}

TEST_F(SolutionArraysTest, BadSubsystemNumbersEndTheRun) {
    const struct {
        bool per_subsystem;
        std::function<void()> call;
        std::string out;
    } cases[] = {
        {false, [] { (void)SSDESC_RA(0); }, " Zero Subsystem Number\n" + abort_frame("SSDESC_RA")},
        {false, [] { (void)SSDESC_IB(-1); }, "Negative Subsystem Number: -1\n" + abort_frame("SSDESC_IB")},
        {true, [] { (void)SSDESC_RB(3); }, "Current SS# (  3 ) is greater than max SS#   2\n" + abort_frame("SSDESC_RB")},
        {true, [] { (void)SSDESC_IA(2); }, ""},
    };
    for (const auto& c : cases) {
        reset_all_engine_state();
        dims(3, 2, c.per_subsystem);
        SOLUTION_ARRAYS.SSDIM(1) = 3;
        allocate();
        const Captured got = capture(c.call);
        EXPECT_EQ(got.aborted, !c.out.empty());
        EXPECT_EQ(got.out, c.out);
    }
}

TEST_F(SolutionArraysTest, ViewsBeforeAnySubsysdimSectionAreEmpty) {
    dims(3, 2, false);
    EXPECT_TRUE(SSDESC_RA(1).empty());
    EXPECT_TRUE(SSDESC_IB(2).empty());
    PARAMS.USE_SUBSYSDIM = LTRUE;
    EXPECT_TRUE(SSDESC_RB(2).empty());
}

TEST_F(SolutionArraysTest, FreeingReportsWhatWasNeverCreatedAndTakesOnlyThePresentLayout) {
    int32_t status = 0;
    DEALLOCATE_ALL(status);  // nothing at all was created
    EXPECT_NE(status, 0);

    dims(3, 2, false);
    DEALLOCATE_ALL(status);  // size list only: the matrices were never created
    EXPECT_NE(status, 0);
    EXPECT_FALSE(SOLUTION_ARRAYS.SSDIM.allocated());

    dims(3, 2, false);
    allocate();
    DEALLOCATION(status);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(SOLUTION_ARRAYS.GM.allocated);
    EXPECT_TRUE(SSDESC_RA(1).empty());
    DEALLOCATION(status);
    EXPECT_NE(status, 0);

    // Only the present layout is freed; without a record table nothing
    // happens.
    reset_all_engine_state();
    dims(3, 1, false);
    SOLUTION_ARRAYS.SSDIM(1) = 3;
    allocate();
    PARAMS.USE_SUBSYSDIM = LTRUE;  // a later run switches the layout
    allocate();
    EXPECT_TRUE(SOLUTION_ARRAYS.records_allocated);
    DEALLOCATION(status);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(SOLUTION_ARRAYS.records_allocated);
    EXPECT_TRUE(SOLUTION_ARRAYS.GM.allocated);
    DEALLOCATION(status);
    EXPECT_EQ(status, 0);
}

TEST_F(SolutionArraysTest, OutOfMemoryReportsAndStops) {
    const std::string expected =
        " ***ERROR** Memory requirement too high, Errors in allocation. \n"
        " ***ERROR** Try optimize memory allocation in Project Settings or use 64-bit build of library.\n";
    dims(1 << 20, 1 << 10, false);
    Captured c = capture([] {
        int32_t status = 0;
        ALLOCATION(DIMBLOCK.AVAIL[ND_SUBSYS], status);
    });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, expected + abort_frame("ALLOCATION"));
    EXPECT_FALSE(SOLUTION_ARRAYS.GM.allocated);

    reset_all_engine_state();
    dims(3, 2, true);
    SOLUTION_ARRAYS.SSDIM(2) = 1 << 21;
    c = capture([] {
        int32_t status = 0;
        ALLOCATION(2, status);
    });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, expected + abort_frame("ALLOCATION"));
}

}  // namespace
