// Ideal branches: the start node of a factorisation and the internal
// checks; in running circuits each against a 1e-6 ohm branch in its place;
// and the shorted sources and loops that stop the run.
#include <functional>
#include <tuple>
#include <vector>

#include "network/ideal_branches.h"
#include "network/switch_state.h"
#include "network/tests/solution_circuit.h"

namespace {

constexpr double kDt = 50e-6, kEm = 100.0, kW = 2.0 * M_PI * 50.0, kTiny = 1e-6;

using IdealLists = SolutionTest;

// (3, 7) brings 5 to 3 and then (2, 4) to 2; nothing cuts 8, not even a branch to ground.
TEST_F(IdealLists, StartNodeComesDownBelowEveryIdealBranchItCuts) {
    tables(8, 6, kDt);
    ideal_branch(2, 4);
    ideal_branch(7, 3);
    ideal_branch(0, 6);
    branch({1, 8, 1.0});
    for (const auto& [from, to, before, after] : {std::tuple{2, 4, 5, 2}, {4, 5, 5, 3}, {4, 5, 8, 8}}) {
        NET.IEF(1, 1) = from;
        NET.IET(1, 1) = to;
        NET.MXINV(1) = before;
        IDLSTART(1);
        EXPECT_EQ(NET.MXINV(1), after) << from << "-" << to << " from " << before;
    }
}

// An entry below the start node, or more branches than the lists hold, stop the run.
TEST_F(IdealLists, InternalChecksStopTheRun) {
    tables(4, 3, kDt);
    branch({0, 1, 1.0, 0, 0, 10.0});
    ideal_branch(3, 1);
    branch({3, 0, 1.0});
    NET.MXINV(1) = 2;
    EXPECT_STOPS(IDLSRC(1), " ***ERROR** Internal problem in IDLSRC processing\n"
                            " ***ERROR**  branch 2 of subsystem 1\n" +
                                abort_frame("IDLSRC"));
    tables(2, 3, kDt);
    ideal_branch(1, 2);
    ideal_branch(2, 1);
    NET.SCT_BRANCH.allocate(1);
    EXPECT_STOPS(SCTEST(1), " ***ERROR** Problem in SCTEST, Temporary dimensions exceed\n" + abort_frame("SCTEST"));
}

// The second of two ideal branches from node 2 to ground closes a loop through ground.
TEST_F(IdealLists, TwoIdealBranchesToGroundOnOneNode) {
    tables(2, 4, kDt);
    branch({0, 1, 1.0, 0, 0, 10.0});
    branch({1, 2, 1.0});
    ideal_branch(2, 0);
    ideal_branch(0, 2);
    options(true, false);
    start();
    const Captured c = capture([&] { EXPECT_TRUE(step()); });
    EXPECT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(std::make_pair(V(1), V(2)), std::make_pair(5.0, 0.0));
    EXPECT_DOUBLE_EQ(I(3) - I(4), 5.0);
}

// Node voltages and branch currents of every step.
struct Trace {
    std::vector<std::vector<double>> v, i;
    double vpeak = 0.0, ipeak = 0.0;
};

class IdealSolution : public SolutionTest {
protected:
    // 600 steps of the circuit build(ideal) of n nodes, a 50 Hz EMF on
    // branch 1, and each(s) before step s.
    Trace run(int32_t n, int32_t nb, const std::function<void(bool)>& build, bool ideal, bool interpolate,
              const std::function<void(int32_t)>& each) {
        tables(n, nb, kDt);
        build(ideal);
        options(interpolate, false);
        start();
        Trace t;
        for (int32_t s = 0; s < 600; ++s) {
            NET.EBR(1, 1) = kEm * std::sin(kW * s * kDt);
            if (each) each(s);
            const Captured c = capture([&] { EXPECT_TRUE(step()) << s; });
            if (HasFailure()) {
                ADD_FAILURE() << c.out;
                return t;
            }
            t.v.emplace_back();
            t.i.emplace_back();
            for (int32_t k = 1; k <= n; ++k) t.vpeak = std::max(t.vpeak, std::fabs(t.v.back().emplace_back(V(k))));
            for (int32_t b = 1; b <= NET.NBRANCHES(1); ++b)
                t.ipeak = std::max(t.ipeak, std::fabs(t.i.back().emplace_back(I(b))));
            // 1e6 S next to the circuit's own conductances costs some digits.
            EXPECT_LT(kcl_error() * largest_, (ideal ? 1e-10 : 1e-8) * kEm) << s;
        }
        EXPECT_EQ(array_overrun_count(), 0);
        return t;
    }

    // Ideal against tiny: node voltages and the currents listed (all when
    // empty) within 2e-6 of their peaks.
    void compare(int32_t n, int32_t nb, const std::function<void(bool)>& build, std::vector<size_t> currents = {},
                 const std::function<void(int32_t)>& each = nullptr) {
        for (bool interpolate : {false, true}) {
            const Trace ideal = run(n, nb, build, true, interpolate, each);
            const Trace tiny = run(n, nb, build, false, interpolate, each);
            ASSERT_EQ(ideal.v.size(), tiny.v.size());
            if (currents.empty())
                for (size_t b = 0; b < tiny.i.front().size(); ++b) currents.push_back(b);
            double dv = 0.0, di = 0.0;
            for (size_t s = 0; s < ideal.v.size(); ++s) {
                for (size_t k = 0; k < ideal.v[s].size(); ++k)
                    dv = std::max(dv, std::fabs(ideal.v[s][k] - tiny.v[s][k]));
                for (size_t b : currents) di = std::max(di, std::fabs(ideal.i[s][b] - tiny.i[s][b]));
            }
            EXPECT_LT(dv, 2e-6 * tiny.vpeak) << interpolate;
            EXPECT_LT(di, 2e-6 * tiny.ipeak) << interpolate;
            EXPECT_GT(tiny.ipeak, 1.0);
        }
    }

    // Behind node 2: 1 mH to node 3, which has 5 ohm and 50 uF to ground,
    // and 20 ohm from node 2 to ground.
    void load() {
        branch({2, 3, 0, 1e-3});
        branch({3, 0, 5.0});
        branch({3, 0, 0, 0, 50e-6});
        branch({2, 0, 20.0});
    }
};

// Entered backwards with an EMF; an ideal source to ground; a chain with a return to ground.
TEST_F(IdealSolution, IdealBranchesAgainstTinyResistances) {
    compare(3, 6, [this](bool ideal) {
        branch({0, 1, 1.0, 0, 0, kEm});
        ideal ? ideal_branch(2, 1, 10.0) : branch({2, 1, kTiny, 0, 0, 10.0});
        load();
    });
    compare(3, 6, [this](bool ideal) {
        ideal ? ideal_branch(0, 1, kEm) : branch({0, 1, kTiny, 0, 0, kEm});
        branch({1, 2, 1.0});
        load();
    });
    compare(5, 8, [this](bool ideal) {
        branch({0, 1, 1.0, 0, 0, kEm});
        ideal ? ideal_branch(1, 5) : branch({1, 5, kTiny});
        ideal ? ideal_branch(2, 5) : branch({2, 5, kTiny});
        branch({2, 3, 0, 1e-3});
        branch({3, 4, 5.0});
        branch({3, 4, 0, 0, 50e-6});
        ideal ? ideal_branch(4, 0) : branch({4, 0, kTiny});
        branch({2, 0, 20.0});
    });
}

// The second of two parallel ideal branches has no constraint: it carries nothing.
TEST_F(IdealSolution, TwoIdealBranchesInParallel) {
    const auto build = [this](bool ideal) {
        branch({0, 1, 1.0, 0, 0, kEm});
        ideal ? ideal_branch(1, 2) : branch({1, 2, kTiny});
        ideal ? ideal_branch(1, 2) : branch({1, 2, kTiny});
        load();
    };
    compare(3, 7, build, {0, 3, 4, 5, 6});
    const Trace ideal = run(3, 7, build, true, true, nullptr);
    double rest = 0.0, whole = 0.0;
    for (size_t s = 0; s < ideal.i.size(); ++s) {
        rest = std::max(rest, std::fabs(ideal.i[s][1]));
        whole = std::max(whole, std::fabs(ideal.i[s][2] - ideal.i[s][0]));
    }
    EXPECT_LT(rest, 1e-12 * ideal.ipeak);
    EXPECT_LT(whole, 1e-12 * ideal.ipeak);
}

// Closed at 5.01 ms, opened at 20.013 ms; without interpolation at the step ends.
TEST_F(IdealSolution, SwitchWithAnIdealClosedState) {
    const auto build = [this](bool ideal) {
        branch({0, 1, 1.0, 0, 0, kEm});
        const int32_t sw = branch({1, 2, 1.0}, true);
        NET.GON(sw, 1) = ideal ? 0.0 : 1.0 / kTiny;
        NET.GOFF(sw, 1) = NET.GEQ(sw, 1) = NET.GEQD(sw, 1) = 1e-9;
        NET.OPENBR(sw, 1) = LTRUE;
        NET.IORV(sw, 1) = 8;
        NET.SWVAL(sw, 1) = 5.01e-3;
        load();
    };
    const auto model = [](int32_t s) {
        if (s == 300) {
            NET.IORV(2, 1) = 8;
            NET.SWVAL(2, 1) = 20.013e-3;
        }
        if (!is_true(NET.SSINTERP(1)) && (s == 101 || s == 401)) {
            is_true(NET.OPENBR(2, 1)) ? BRANCH_ON(1, 2, 6, 0.0) : BRANCH_OFF(1, 2, 6, 0.0);
        }
    };
    compare(3, 6, build, {}, model);
    const Trace t = run(3, 6, build, true, true, model);
    ASSERT_EQ(t.i.size(), 600u);
    EXPECT_LT(std::fabs(t.i[100][1]), 1e-6);
    EXPECT_GT(std::fabs(t.i[101][1]), 1e-3);
    EXPECT_LT(std::fabs(t.i[599][1]), 1e-6);
}

// A shorted source (named by its own number), a loop of three, two loops: stops in the first step.
TEST_F(IdealSolution, UnsolvableIdealBranchesStopTheRun) {
    const std::string head = " Subsystem           1  has ideal branches\n";
    const std::string shorted = " ***ERROR** Short circuited voltage source \n ***ERROR** branch ";
    const auto source = [this] { branch({0, 1, 1.0, 0, 0, kEm}); };
    const auto to_ground = [this](int32_t k) { branch({k, 0, 1.0}); };
    const struct {
        int32_t nodes;
        bool interpolate;
        std::function<void()> build;
        std::string expected;
    } cases[] = {
        {2, true, [&] { ideal_branch(0, 1, kEm), ideal_branch(1, 0), branch({1, 2, 1.0}), to_ground(2); },
         head + shorted + "1 of subsystem 1\n" + abort_frame("SCTEST")},
        {2, false, [&] { source(), ideal_branch(1, 2, 5.0), ideal_branch(2, 1), to_ground(2); },
         head + shorted + "2 of subsystem 1\n" + abort_frame("SCTEST")},
        {2, false, [&] { source(), ideal_branch(2, 1), ideal_branch(1, 2, 5.0), to_ground(2); },
         head + shorted + "3 of subsystem 1\n" + abort_frame("SCTEST")},
        {3, true, [&] { source(), ideal_branch(1, 2), ideal_branch(2, 3), ideal_branch(3, 1), to_ground(3); },
         head + " ***ERROR** Ideal loop processing is incomplete\n" + abort_frame("IDLCUR")},
        {4, true,
         [&] {
             source(), ideal_branch(1, 2), ideal_branch(2, 1), branch({2, 3, 1.0});
             ideal_branch(3, 4), ideal_branch(3, 4), to_ground(4);
         },
         head +
             " ***ERROR** More than 1 loops entirely \n"
             " ***ERROR** consisting of ideal branches. \n"
             " ***ERROR** Check branch 3 in subsystem 1.\n" +
             abort_frame("IDLCUR")},
    };
    for (const auto& k : cases) {
        tables(k.nodes, 2 * k.nodes, kDt);
        k.build();
        options(k.interpolate, false);
        start();
        const Captured c = capture([&] { EXPECT_FALSE(step()); });
        EXPECT_EQ(c.out, k.expected);
    }
}

}  // namespace
