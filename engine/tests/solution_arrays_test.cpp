// The subsystem solution matrices: a later run's sizes, the accessors'
// subsystem check and running out of memory.
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
        for (size_t k = 0; k < sizes.size(); ++k) SOLUTION_ARRAYS.SSDIM(int64_t(k + 1)) = sizes[k];
        if (!sizes.empty()) {
            EXPECT_FALSE(allocate().aborted);
        }
    }
    static Captured allocate() {
        return capture([] {
            int32_t status = -1;
            ALLOCATION(DIMBLOCK.AVAIL[ND_SUBSYS], status);
        });
    }
    // The pattern of a subsystem, row by row: 'd' on the diagonal.
    static std::string pattern(int32_t ss) {
        const SsView<int8_t> p = SSDESC_IA(ss);
        std::string out;
        for (int i = 1; i <= p.n1; ++i, out += '|')
            for (int j = 1; j <= p.n2; ++j) out += p(i, j) == -1 ? 'd' : p(i, j) == 0 ? '.' : '?';
        return out;
    }
};

TEST_F(SolutionArraysTest, PerSubsystemMatricesAreSizedAgainInALaterRun) {
    dims(10, 2, true, {2, 0});
    EXPECT_EQ(pattern(1), "d.|.d|");
    EXPECT_TRUE(SSDESC_RA(2).empty());
    EXPECT_FALSE(SOLUTION_ARRAYS.GM.allocated);  // the global arrays were not created
    // A later run gives subsystem 2 some nodes, then fewer: it keeps its
    // record, the diagonal covers its nodes.
    SOLUTION_ARRAYS.SSDIM(2) = 3;
    EXPECT_FALSE(allocate().aborted);
    SOLUTION_ARRAYS.SSDIM(2) = 2;
    EXPECT_FALSE(allocate().aborted);
    EXPECT_EQ(pattern(2), "d..|.d.|...|");
}

TEST_F(SolutionArraysTest, BadSubsystemNumbersEndTheRun) {
    dims(3, 2, true, {3, 0});
    Captured c = capture([] { (void)SSDESC_RB(3); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, "Current SS# (  3 ) is greater than max SS#   2\n" + abort_frame("SSDESC_RB"));
    c = capture([] { (void)SSDESC_RA(0); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " Zero Subsystem Number\n" + abort_frame("SSDESC_RA"));
}

// The four views at once are the four accessors' views, in either layout;
// a bad subsystem number ends the run as the first accessor's does.
TEST_F(SolutionArraysTest, AllFourViewsAreTheAccessorsViews) {
    for (bool per : {false, true}) {
        reset_engine();
        dims(4, 2, per, {3, 2});
        for (int32_t ss : {1, 2}) {
            const SsViews all = SSDESC_ALL(ss);
            const auto same = [](const auto& a, const auto& b) {
                return a.data == b.data && a.n1 == b.n1 && a.n2 == b.n2 && a.data != nullptr;
            };
            EXPECT_TRUE(same(all.gm, SSDESC_RA(ss))) << per << ss;
            EXPECT_TRUE(same(all.tri, SSDESC_RB(ss))) << per << ss;
            EXPECT_TRUE(same(all.pat, SSDESC_IA(ss))) << per << ss;
            EXPECT_TRUE(same(all.fill, SSDESC_IB(ss))) << per << ss;
        }
        const Captured c = capture([] { (void)SSDESC_ALL(3); });
        EXPECT_TRUE(c.aborted);
        EXPECT_EQ(c.out, "Current SS# (  3 ) is greater than max SS#   2\n" + abort_frame("SSDESC_RA")) << per;
    }
}

TEST_F(SolutionArraysTest, OutOfMemoryReportsAndStops) {
    for (bool per : {false, true}) {
        reset_engine();
        dims(per ? 3 : 1 << 20, per ? 2 : 1 << 10, per);
        if (per) SOLUTION_ARRAYS.SSDIM(2) = 1 << 21;
        // Beyond the case's bound, with the storage that the sizes ask for.
        const ByteCount need = storage_bytes() + planned_matrix_bytes(per, ByteCount{1} << 42);
        const uint64_t need_mib = static_cast<uint64_t>((need + (1 << 20) - 1) >> 20);
        const Captured c = allocate();
        EXPECT_TRUE(c.aborted);
        EXPECT_EQ(c.out,
                  " ***ERROR** The case's arrays need " + std::to_string(need_mib) + " MiB, beyond a case's bound of " +
                      std::to_string(CASE_BYTES_BOUND >> 20) +
                      " MiB.\n"
                      " ***ERROR** Memory requirement too high, Errors in allocation. \n"
                      " ***ERROR** Try optimize memory allocation in Project Settings or use 64-bit build of library.\n" +
                      abort_frame("ALLOCATION"))
            << per;
        EXPECT_FALSE(SOLUTION_ARRAYS.GM.allocated);
    }
}

}  // namespace
