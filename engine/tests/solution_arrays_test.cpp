// The subsystem solution matrices: both layouts, re-initialisation by a
// later run, the accessors' subsystem check, freeing and running out of
// memory.
#include "engine/solution_arrays.h"
#include "engine/tests/engine_test_support.h"

namespace {

class SolutionArraysTest : public EngineTest {
protected:
    // The size list of the given layout; with sizes, the matrices too.
    static void dims(int32_t nodes, int32_t subsys, bool per_subsystem, std::vector<int32_t> sizes = {}) {
        DIMBLOCK.AVAIL[ND_NODES] = nodes;
        DIMBLOCK.AVAIL[ND_SUBSYS] = DIMBLOCK.NSUBSYS = subsys;
        PARAMS.USE_SUBSYSDIM = as_logical(per_subsystem);
        int32_t status = -1;
        ALLOC_SSLIST(subsys, status);
        ASSERT_EQ(status, 0);
        if (sizes.empty()) return;
        for (size_t k = 0; k < sizes.size(); ++k) SOLUTION_ARRAYS.SSDIM(int64_t(k + 1)) = sizes[k];
        allocate();
    }
    static void allocate() {
        int32_t status = -1;
        ALLOCATION(DIMBLOCK.AVAIL[ND_SUBSYS], status);
        EXPECT_EQ(status, 0);
    }
    // The pattern of a subsystem: -1 on the diagonal up to its nodes.
    static void expect_diagonal(int32_t ss, int32_t n, int32_t nodes) {
        const SsView<int8_t> pat = SSDESC_IA(ss);
        ASSERT_EQ(pat.n1, n);
        ASSERT_EQ(pat.n2, n);
        for (int i = 1; i <= n; ++i)
            for (int j = 1; j <= n; ++j)
                EXPECT_EQ(pat(i, j), i == j && i <= nodes ? -1 : 0) << ss << ' ' << i << ' ' << j;
    }
};

TEST_F(SolutionArraysTest, SizeListStartsAtZeroAndViewsBeforeAnyMatrixAreEmpty) {
    dims(3, 3, false);
    ASSERT_EQ(SOLUTION_ARRAYS.SSDIM.size(), 3);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(SOLUTION_ARRAYS.SSDIM(i), 0);
    EXPECT_TRUE(SSDESC_RA(1).empty());
    EXPECT_TRUE(SSDESC_IB(2).empty());
    PARAMS.USE_SUBSYSDIM = LTRUE;
    EXPECT_TRUE(SSDESC_RB(2).empty());
    int32_t status = -1;
    ALLOC_SSLIST(-4, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(SOLUTION_ARRAYS.SSDIM.size(), 0);
}

TEST_F(SolutionArraysTest, GlobalLayoutHoldsTheDiagonalPatternOfEverySubsystem) {
    dims(3, 2, false, {0, 0});
    for (int32_t ss = 1; ss <= 2; ++ss) {
        expect_diagonal(ss, 3, 3);
        const SsView<int8_t> fill = SSDESC_IB(ss);
        const SsView<double> gm = SSDESC_RA(ss), tri = SSDESC_RB(ss);
        EXPECT_EQ(gm.n1, 3);
        EXPECT_EQ(tri.n2, 3);
        for (int i = 1; i <= 3; ++i)
            for (int j = 1; j <= 3; ++j) EXPECT_TRUE(fill(i, j) == 0 && gm(i, j) == 0.0 && tri(i, j) == 0.0);
    }
    // Two subsystems are separate slices of the same arrays.
    SSDESC_RA(1)(2, 3) = 7.0;
    EXPECT_EQ(SSDESC_RA(2)(2, 3), 0.0);
    EXPECT_EQ(SSDESC_RA(1)(2, 3), 7.0);
    EXPECT_EQ(SSDESC_RA(2).data - SSDESC_RA(1).data, 9);
}

TEST_F(SolutionArraysTest, PerSubsystemLayoutSizesEachSubsystemAgainInALaterRun) {
    dims(10, 2, true, {4, 0});
    expect_diagonal(1, 4, 4);
    EXPECT_EQ(SSDESC_RB(1).n1, 4);
    EXPECT_EQ(SSDESC_IB(1).n2, 4);
    EXPECT_TRUE(SSDESC_RA(2).empty() && SSDESC_IA(2).empty() && SSDESC_IB(2).empty());
    EXPECT_FALSE(SOLUTION_ARRAYS.GM.allocated);  // the global arrays were not created
    // The next run's "SUBSYSDIM:" gives subsystem 1 more nodes and 2 some;
    // then subsystem 2 fewer: it keeps its record, the diagonal covers its nodes.
    SOLUTION_ARRAYS.SSDIM(1) = 6;
    SOLUTION_ARRAYS.SSDIM(2) = 5;
    allocate();
    expect_diagonal(1, 6, 6);
    EXPECT_EQ(SSDESC_RB(1).n2, 6);
    SOLUTION_ARRAYS.SSDIM(2) = 3;
    allocate();
    expect_diagonal(2, 5, 3);
}

TEST_F(SolutionArraysTest, LaterRunReinitialisesWithoutCreating) {
    for (bool per : {false, true}) {
        reset_engine();
        dims(3, 1, per, {3});
        const SsView<double> gm = SSDESC_RA(1);
        gm(1, 2) = 5.0;
        SSDESC_RB(1)(3, 3) = 2.0;
        SSDESC_IA(1)(1, 2) = -1;
        SSDESC_IB(1)(2, 1) = -1;
        allocate();
        EXPECT_EQ(SSDESC_RA(1).data, gm.data) << per;
        EXPECT_EQ(std::vector<double>({gm(1, 2), SSDESC_RB(1)(3, 3), double(SSDESC_IA(1)(1, 2)),
                                       double(SSDESC_IA(1)(2, 2)), double(SSDESC_IB(1)(2, 1))}),
                  std::vector<double>({0.0, 0.0, 0.0, -1.0, 0.0}));
    }
}

TEST_F(SolutionArraysTest, BadSubsystemNumbersEndTheRun) {
    const struct {
        bool per_subsystem;
        std::function<void()> call;
        std::string out;
    } cases[] = {
        {false, [] { (void)SSDESC_RA(0); }, " Zero Subsystem Number\n" + abort_frame("SSDESC_RA")},
        {false, [] { (void)SSDESC_IB(-1); }, "Negative Subsystem Number: -1\n" + abort_frame("SSDESC_IB")},
        {true, [] { (void)SSDESC_RB(3); },
         "Current SS# (  3 ) is greater than max SS#   2\n" + abort_frame("SSDESC_RB")},
        {true, [] { (void)SSDESC_IA(2); }, ""},
    };
    for (const auto& c : cases) {
        reset_engine();
        dims(3, 2, c.per_subsystem, {3, 0});
        const Captured got = capture(c.call);
        EXPECT_EQ(got.aborted, !c.out.empty());
        EXPECT_EQ(got.out, c.out);
    }
}

TEST_F(SolutionArraysTest, FreeingReportsWhatWasNeverCreatedAndTakesOnlyThePresentLayout) {
    int32_t status = 0;
    DEALLOCATE_ALL(status);  // nothing at all was created
    EXPECT_NE(status, 0);
    dims(3, 2, false);
    DEALLOCATE_ALL(status);  // size list only: the matrices were never created
    EXPECT_NE(status, 0);
    EXPECT_FALSE(SOLUTION_ARRAYS.SSDIM.allocated());

    dims(3, 2, false, {0, 0});
    DEALLOCATION(status);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(SOLUTION_ARRAYS.GM.allocated);
    EXPECT_TRUE(SSDESC_RA(1).empty());
    DEALLOCATION(status);
    EXPECT_NE(status, 0);

    // Only the present layout is freed; without a record table nothing
    // happens.
    reset_engine();
    dims(3, 1, false, {3});
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
        " ***ERROR** Try optimize memory allocation in Project Settings or use 64-bit build of library.\n" +
        abort_frame("ALLOCATION");
    dims(1 << 20, 1 << 10, false);
    const auto allocate_stopped = [] {
        return capture([] {
            int32_t status = 0;
            ALLOCATION(DIMBLOCK.AVAIL[ND_SUBSYS], status);
        });
    };
    Captured c = allocate_stopped();
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, expected);
    EXPECT_FALSE(SOLUTION_ARRAYS.GM.allocated);

    reset_engine();
    dims(3, 2, true);
    SOLUTION_ARRAYS.SSDIM(2) = 1 << 21;
    c = allocate_stopped();
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, expected);
}

}  // namespace
