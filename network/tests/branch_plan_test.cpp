// The branch plan follows a branch's change of kind without being formed
// again: after any sequence of changes its lists are those a plan formed
// from scratch has; the history step taken by its runs is the step taken
// branch by branch.
#include "network/branch_plan.h"

#include <random>

#include "network/branch_currents.h"
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
        const auto runs = [](const std::vector<HistoryRun>& list) {
            std::vector<std::tuple<int32_t, int32_t, uint8_t, uint8_t>> out;
            for (const HistoryRun& r : list) out.emplace_back(r.first, r.end, r.kinds, r.ends);
            return out;
        };
        EXPECT_EQ(runs(a.history_runs), runs(b.history_runs));
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

// The history step taken run by run: branches of every L and C kind, each
// between two nodes, from a node to ground and from ground to a node, in a
// mixed order, leave the same history currents and node sums, bit for bit,
// as the step taken branch by branch in branch order.
TEST_F(BranchPlanTest, HistoryStepByRunsIsTheStepInBranchOrder) {
    tables(4, 30, 50e-6);
    NetworkTables& N = NET;
    std::mt19937 random(11);
    for (int32_t k = 1; k <= 30; ++k) {
        const int32_t a = 1 + static_cast<int32_t>(random() % 4), c = 1 + a % 4;
        const uint32_t ends = random() % 3, kinds = 1 + random() % 3;
        Element e{ends == 2 ? 0 : a, ends == 1 ? 0 : c, 1.0 + 0.1 * k};
        if (kinds & 1) e.L = 1e-3 * k;
        if (kinds & 2) e.C = 1e-6 * k;
        const int32_t b = branch(e);
        N.CBR(b, 1) = 0.3 * k - 4.0;
        N.V12L(b, 1) = 1.7 - 0.2 * k;
        N.V20L(b, 1) = 0.9 * k - 3.1;
        N.CCL(b, 1) = 0.01 * k;
        N.CCC(b, 1) = -0.02 * k;
        N.CCBR(b, 1) = 0.5 * k;
    }
    BUILD_BRANCH_PLAN(1);
    ASSERT_GT(branch_plan(1).history_runs.size(), 10u);
    std::vector<double> hist(5, 0.0), ccl(31), ccc(31), ccbr(31), ccld(31), cccd(31), ccbrd(31);
    for (int32_t b = 1; b <= 30; ++b) {
        const double i = N.CBR(b, 1);
        double h = 0.0;
        ccl[b] = N.CCL(b, 1);
        ccc[b] = N.CCC(b, 1);
        ccld[b] = N.CCLD(b, 1);
        cccd[b] = N.CCCD(b, 1);
        if (is_true(N.INDUCTOR(b, 1))) {
            ccld[b] = ccl[b];
            ccl[b] = N.G2L(b, 1) * N.V12L(b, 1) + i;
            h = N.RLG(b, 1) * ccl[b];
        }
        if (is_true(N.CAPACITR(b, 1))) {
            cccd[b] = ccc[b];
            ccc[b] = -(N.G2C(b, 1) * N.V20L(b, 1)) - i;
            h = h + ccc[b] * N.RCG(b, 1);
        }
        ccbrd[b] = N.CCBR(b, 1);
        ccbr[b] = h;
        const int32_t from = N.IEF(b, 1), to = N.IET(b, 1);
        if (to != 0) hist[static_cast<size_t>(to)] -= h;
        if (from != 0) hist[static_cast<size_t>(from)] += h;
    }
    BRCURR(1);
    for (int32_t b = 1; b <= 30; ++b) {
        EXPECT_EQ(std::make_tuple(N.CCL(b, 1), N.CCLD(b, 1), N.CCC(b, 1), N.CCCD(b, 1), N.CCBR(b, 1), N.CCBRD(b, 1)),
                  std::make_tuple(ccl[b], ccld[b], ccc[b], cccd[b], ccbr[b], ccbrd[b]))
            << "branch " << b;
    }
    for (int32_t m = 1; m <= 4; ++m) EXPECT_EQ(N.CHIST(m, 1), hist[static_cast<size_t>(m)]) << "node " << m;
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
