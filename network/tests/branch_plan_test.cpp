// The branch plan follows a branch's change of kind without being formed
// again: after any sequence of changes its lists are those a plan formed
// from scratch has.
#include "network/branch_plan.h"

#include <random>

#include "network/tests/solution_circuit.h"

namespace {

class BranchPlanTest : public SolutionTest {
protected:
    // Branch k of eight kinds, between neighbouring nodes or to ground.
    void circuit(int32_t n) {
        tables(n, 2 * n, 50e-6);
        for (int32_t k = 1; k <= 2 * n; ++k) {
            const int32_t node = (k + 1) / 2;
            Element e{node, k % 2 == 0 ? 0 : (node < n ? node + 1 : 0), 1.0};
            if (k % 3 == 0) e.L = 1e-3;
            if (k % 4 == 0) e.C = 1e-6;
            if (k % 5 == 0) e.E = 2.0;
            branch(e, k % 2 == 1);
        }
    }
    static void expect_same(const BranchPlan& a, const BranchPlan& b) {
        const auto entries = [](const std::vector<PlannedBranch>& list) {
            std::vector<std::tuple<int32_t, int32_t, int32_t, uint8_t>> out;
            for (const PlannedBranch& e : list) out.emplace_back(e.b, e.from, e.to, e.kind);
            return out;
        };
        EXPECT_EQ(a.kind, b.kind);
        EXPECT_EQ(a.lane, b.lane);
        EXPECT_EQ(entries(a.history), entries(b.history));
        EXPECT_EQ(a.injecting, b.injecting);
        for (int c = 0; c < 4; ++c) EXPECT_EQ(entries(a.series[c]), entries(b.series[c])) << c;
        for (int c = 0; c < 4; ++c) EXPECT_EQ(entries(a.sourced[c]), entries(b.sourced[c])) << c;
        EXPECT_EQ(a.other, b.other);
        EXPECT_EQ(a.vsources, b.vsources);
    }
};

TEST_F(BranchPlanTest, FollowsEveryChangeOfKind) {
    circuit(20);
    BUILD_BRANCH_PLAN(1);
    std::mt19937 random(7);
    NetworkTables& N = NET;
    for (int step = 0; step < 300; ++step) {
        const int32_t b = 1 + static_cast<int32_t>(random() % 40);
        switch (random() % 4) {
            case 0: N.SOURCE(b, 1) = as_logical(!is_true(N.SOURCE(b, 1))); break;
            case 1: N.IDEALBR(b, 1) = as_logical(!is_true(N.IDEALBR(b, 1))); break;
            case 2: N.IORV(b, 1) = N.IORV(b, 1) == 5 ? 6 : 5; break;
            default: N.DEFRDBR(b, 1) = as_logical(!is_true(N.DEFRDBR(b, 1))); break;
        }
        REPLAN_BRANCH(1, b);
        const BranchPlan followed = branch_plan(1);
        BUILD_BRANCH_PLAN(1);
        expect_same(followed, branch_plan(1));
        if (HasFailure()) FAIL() << "after change " << step << " of branch " << b;
    }
}

// A branch beyond the plan's count forms the whole plan again.
TEST_F(BranchPlanTest, NewBranchCountFormsThePlanAgain) {
    circuit(4);
    BUILD_BRANCH_PLAN(1);
    NET.NBRANCHES(1) = 7;
    REPLAN_BRANCH(1, 8);
    EXPECT_EQ(branch_plan(1).nb, 7);
    EXPECT_EQ(branch_plan(1).kind.size(), 8u);
}

}  // namespace
