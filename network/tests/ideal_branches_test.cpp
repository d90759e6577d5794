// Ideal branches: the lists and constraints of a factorisation (the start
// node, list entries and their orientation, loops through ground); in
// running circuits, each against a 1e-6 ohm branch in its place; and the
// shorted sources and loops that stop the run.
#include <functional>
#include <tuple>
#include <vector>

#include "engine/solution_arrays.h"
#include "engine/time_step.h"
#include "network/ideal_branches.h"
#include "network/switch_state.h"
#include "network/tests/solution_circuit.h"
#include "network/triangularise.h"

namespace {

constexpr double kDt = 50e-6, kEm = 100.0, kW = 2.0 * M_PI * 50.0;

using IdealLists = SolutionTest;

TEST_F(IdealLists, StartNodeComesDownBelowEveryIdealBranchItCuts) {
    tables(8, 6, kDt);
    ideal_branch(2, 4);
    ideal_branch(7, 3);
    ideal_branch(0, 6);  // to ground: cuts nothing
    branch({1, 8, 1.0});
    // (3, 7) brings 5 to 3, and then (2, 4) to 2; with (4, 5) in place of
    // (2, 4) it is cut at 5 but not at 3; 8 and 1 cut nothing; without
    // ideal branches nothing moves.
    for (const auto& [from, to, before, after, ideal] : {std::tuple{2, 4, 5, 2, true}, {4, 5, 5, 3, true},
                                                         {4, 5, 8, 8, true}, {4, 5, 1, 1, true}, {4, 5, 6, 6, false}}) {
        NET.IEF(1, 1) = from;
        NET.IET(1, 1) = to;
        NET.IDEALSS(1) = as_logical(ideal);
        NET.MXINV(1) = before;
        IDLSTART(1);
        EXPECT_EQ(NET.MXINV(1), after) << from << "-" << to << " from " << before;
    }
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
    EXPECT_EQ(std::make_pair(N.NIDEALA(1), N.NIDEAL(1)), std::make_pair(2, 4));
    EXPECT_EQ((std::vector<int32_t>{N.IDLIST(1, 1), N.IDLIST(2, 1), N.IDLIST(3, 1), N.IDLIST(4, 1)}),
              (std::vector<int32_t>{-2, -3, -5, 6}));
    EXPECT_EQ((std::vector<Logical>{N.FLIPIDLBR(2, 1), N.FLIPIDLBR(3, 1), N.FLIPIDLBR(5, 1), N.FLIPIDLBR(6, 1)}),
              (std::vector<Logical>{LTRUE, LTRUE, LTRUE, LFALSE}));
    // Every node is tied to ground: the source drives its 1 ohm, which
    // carries all of it through 3 -> 1 and 0 -> 3 back to ground.
    for (int32_t k = 1; k <= 4; ++k) {
        EXPECT_TRUE(is_true(N.IDLNODE(k))) << k;
        EXPECT_EQ(V(k), 0.0) << k;
    }
    EXPECT_EQ((std::vector<double>{I(1), I(2), I(3), I(5), I(6)}), (std::vector<double>{10.0, -10.0, 0.0, -10.0, 0.0}));
    EXPECT_EQ(array_overrun_count(), 0);
}

// An entry with one node below the start node is an internal problem; the
// short-circuit test refuses more branches than its lists hold.
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

// Two ideal branches from node 2 to ground: the second finds the node held
// and closes a loop through ground, which is taken (with a source in it the
// run stops: see the unsolvable ideal branches).
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
    EXPECT_EQ(std::make_pair(NET.IDLIST(1, 1), NET.IDLIST(2, 1)), std::make_pair(3, 0));
    EXPECT_EQ(std::make_pair(V(1), V(2)), std::make_pair(5.0, 0.0));
    EXPECT_DOUBLE_EQ(I(3) - I(4), 5.0);
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
    EXPECT_EQ(std::make_pair(current, NET.CBR(b, 1)), std::make_pair(2.0, 7.0));
    // A subsystem without ideal branches is left alone.
    NET.IDEALSS(1) = LFALSE;
    current = -1.0;
    IDLCUR(1, 1.0, b, current, false, true);
    EXPECT_EQ(current, -1.0);
}

constexpr double kTiny = 1e-6;

// Node voltages and branch currents of every step.
struct Trace {
    std::vector<std::vector<double>> v, i;
    double vpeak = 0.0, ipeak = 0.0;
};

class IdealSolution : public SolutionTest {
protected:
    // A circuit of n nodes and nb branches built by build (true: the ideal
    // branches, false: 1e-6 ohm in their place), run for steps steps with
    // a 50 Hz source EMF on branch 1; before step s, each step's model
    // each(s).
    Trace run(int32_t n, int32_t nb, const std::function<void(bool)>& build, bool ideal, bool interpolate,
              const std::function<void(int32_t)>& each = nullptr, int32_t steps = 600) {
        tables(n, nb, kDt);
        build(ideal);
        options(interpolate, false);
        start();
        Trace t;
        for (int32_t s = 0; s < steps; ++s) {
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
            // Against the circuit's current scale (1 ohm behind the source);
            // 1e6 S next to the circuit's own conductances costs some digits.
            EXPECT_LT(kcl_error() * largest_, (ideal ? 1e-10 : 1e-8) * kEm) << s;
        }
        EXPECT_EQ(array_overrun_count(), 0);
        return t;
    }

    // The ideal circuit against the tiny-resistor one: node voltages and the
    // currents of the branches listed (all when empty) within tol of their
    // peaks.
    void compare(int32_t n, int32_t nb, const std::function<void(bool)>& build, double tol = 2e-6,
                 std::vector<size_t> currents = {}, const std::function<void(int32_t)>& each = nullptr) {
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
            EXPECT_LT(dv, tol * tiny.vpeak) << interpolate;
            EXPECT_LT(di, tol * tiny.ipeak) << interpolate;
            EXPECT_GT(tiny.ipeak, 1.0);
        }
    }

    // The rest of the test circuit behind node 2: 1 mH to node 3, which has
    // 5 ohm and 50 uF to ground, and 20 ohm from node 2 to ground.
    void load() {
        branch({2, 3, 0, 1e-3});
        branch({3, 0, 5.0});
        branch({3, 0, 0, 0, 50e-6});
        branch({2, 0, 20.0});
    }
    // The source, a switch from node 1 to node 2 closing at time t, of no
    // closed resistance (or of 1e-6 ohm), and the load.
    void switched(bool ideal, double t) {
        branch({0, 1, 1.0, 0, 0, kEm});
        const int32_t sw = branch({1, 2, 1.0}, true);
        NET.GON(sw, 1) = ideal ? 0.0 : 1.0 / kTiny;
        NET.GOFF(sw, 1) = NET.GEQ(sw, 1) = NET.GEQD(sw, 1) = 1e-9;
        NET.OPENBR(sw, 1) = LTRUE;
        NET.IORV(sw, 1) = 8;
        NET.SWVAL(sw, 1) = t;
        load();
    }
};

// Between two nodes; entered from node 2 to node 1 with an EMF of 10 V
// (its list entry is taken to-node first); an ideal source to ground; a
// chain.
TEST_F(IdealSolution, IdealBranchesAgainstTinyResistances) {
    compare(3, 6, [this](bool ideal) {
        branch({0, 1, 1.0, 0, 0, kEm});
        ideal ? ideal_branch(1, 2) : branch({1, 2, kTiny});
        load();
    });
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
    // Three ideal branches in a chain from node 1 to node 4 (one of them
    // backwards) and one from node 4 to ground through which the load
    // returns.
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

// Two ideal branches between nodes 1 and 2: the second closes a loop and
// has no constraint of its own; one of them carries the whole current and
// the other what the balance leaves it, which is nothing.
TEST_F(IdealSolution, TwoIdealBranchesInParallel) {
    const auto build = [this](bool ideal) {
        branch({0, 1, 1.0, 0, 0, kEm});
        ideal ? ideal_branch(1, 2) : branch({1, 2, kTiny});
        ideal ? ideal_branch(1, 2) : branch({1, 2, kTiny});
        load();
    };
    // The load's currents and all node voltages as with the two resistors.
    compare(3, 7, build, 2e-6, {0, 3, 4, 5, 6});
    const Trace ideal = run(3, 7, build, true, true);
    EXPECT_EQ((std::vector<int32_t>{NET.NIDEALA(1), NET.NIDEAL(1), NET.IDLIST(1, 1), NET.IDLIST(2, 1)}),
              (std::vector<int32_t>{2, 2, 2, 0}));
    double rest = 0.0, whole = 0.0;
    for (size_t s = 0; s < ideal.i.size(); ++s) {
        rest = std::max(rest, std::fabs(ideal.i[s][1]));
        whole = std::max(whole, std::fabs(ideal.i[s][2] - ideal.i[s][0]));
    }
    EXPECT_LT(rest, 1e-12 * ideal.ipeak);
    EXPECT_LT(whole, 1e-12 * ideal.ipeak);
}

// A switch of no closed resistance between nodes 1 and 2, closed by its
// model at 5.01 ms and opened at 20.013 ms, against a switch of 1e-6 ohm.
// Without interpolation the timed switchings wait for the step ends.
TEST_F(IdealSolution, SwitchWithAnIdealClosedState) {
    const auto build = [this](bool ideal) { switched(ideal, 5.01e-3); };
    const auto model = [](int32_t s) {
        if (s == 300) {
            NET.IORV(2, 1) = 8;
            NET.SWVAL(2, 1) = 20.013e-3;
        }
        if (!is_true(NET.SSINTERP(1)) && (s == 101 || s == 401)) {
            is_true(NET.OPENBR(2, 1)) ? BRANCH_ON(1, 2, 6, 0.0) : BRANCH_OFF(1, 2, 6, 0.0);
        }
    };
    compare(3, 6, build, 2e-6, {}, model);
    // Closed from 5.01 ms to 20.013 ms only.
    const Trace t = run(3, 6, build, true, true, model);
    ASSERT_EQ(t.i.size(), 600u);
    EXPECT_LT(std::fabs(t.i[100][1]), 1e-6);
    EXPECT_GT(std::fabs(t.i[101][1]), 1e-3);
    EXPECT_GT(std::fabs(t.i[400][1]), 1e-3);
    EXPECT_LT(std::fabs(t.i[401][1]), std::fabs(t.i[400][1]));
    EXPECT_LT(std::fabs(t.i[599][1]), 1e-6);
    EXPECT_TRUE(is_true(NET.OPENBR(2, 1)));
}

TEST_F(IdealSolution, IdealSwitchMarksTheSubsystemWhenItCloses) {
    tables(3, 6, kDt);
    switched(true, 2.8e-4);
    options(true, false);
    start();
    for (int32_t s = 0; s < 6; ++s) ASSERT_TRUE(step());
    EXPECT_FALSE(is_true(NET.IDEALSS(1)));
    const Captured c = capture([&] { EXPECT_TRUE(step()); });
    EXPECT_EQ(std::make_tuple(NET.IDEALSS(1), NET.IDEALBR(2, 1), NET.IORV(2, 1), NET.NIDEAL(1)),
              std::make_tuple(LTRUE, LTRUE, 6, 1));
    EXPECT_EQ(V(1), V(2));
    // The first factorisation of the run had no ideal branch to report.
    EXPECT_EQ(c.out, "");
}

// 100 V behind 1 ohm, the ideal branch of the map, 4 ohm: 20 A, both
// nodes at 80 V.
TEST_F(IdealSolution, IdealBranchOfTheMapIsSolved) {
    read_map("ideal_branch.map");
    EXPECT_TRUE(is_true(NET.IDEALSS(1)));
    start();
    const Captured c = capture([&] {
        for (int32_t n = 0; n < 5; ++n) EXPECT_TRUE(step());
    });
    EXPECT_EQ(c.out, " Subsystem           1  has ideal branches\n");
    EXPECT_DOUBLE_EQ(V(1), 80.0);
    EXPECT_DOUBLE_EQ(V(2), 80.0);
    for (int32_t b = 1; b <= 3; ++b) EXPECT_DOUBLE_EQ(I(b), 20.0) << b;
}

// Ideal branches that cannot be solved stop the run in the first step: a
// voltage source (an ideal branch with an EMF) shorted by an ideal branch
// either way round, or in a loop of two ideal branches between two nodes
// (reported by its own number, whichever comes first), or between a node
// and ground; a loop of three,
// whose currents cannot be told apart; two loops, of which only one is
// taken.
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
        {2, true, [&] { ideal_branch(0, 1, kEm), ideal_branch(0, 1), branch({1, 2, 1.0}), to_ground(2); },
         head + shorted + "1 of subsystem 1\n" + abort_frame("SCTEST")},
        {2, false, [&] { source(), ideal_branch(1, 2, 5.0), ideal_branch(2, 1), to_ground(2); },
         head + shorted + "2 of subsystem 1\n" + abort_frame("SCTEST")},
        {2, false, [&] { source(), ideal_branch(2, 1), ideal_branch(1, 2, 5.0), to_ground(2); },
         head + shorted + "3 of subsystem 1\n" + abort_frame("SCTEST")},
        // Two ideal branches from node 2 to ground, one of them a source.
        {2, true, [&] { source(), branch({1, 2, 1.0}), ideal_branch(2, 0), ideal_branch(0, 2, 5.0); },
         head + shorted + "4 of subsystem 1\n" + abort_frame("SCTEST")},
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
